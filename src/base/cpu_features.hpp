#pragma once
// Instructions beyond the baseline of the target, chosen at run time. Code
// that uses them is compiled for them alone (GCC and Clang target
// attributes) and is called only when the processor has them; every such
// path has a plain twin that gives the same results.

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
// Functions may be compiled for AVX2 with TARVEK_TARGET_AVX2.
#define TARVEK_HAVE_AVX2_PATHS 1
#define TARVEK_TARGET_AVX2 __attribute__((target("avx2,popcnt")))
#else
#define TARVEK_HAVE_AVX2_PATHS 0
#define TARVEK_TARGET_AVX2
#endif

namespace tarvek {

// True when the AVX2 paths are compiled in and the processor runs them.
bool cpu_has_avx2();

}  // namespace tarvek
