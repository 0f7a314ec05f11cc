#pragma once
// Which versions of the computations that have several a run uses. Every
// fast computation has a plain version beside it, written from its
// definition; some fast ones also have paths for AVX2, compiled for those
// instructions alone (GCC and Clang target attributes) and run only on
// processors that have them. All give the same results. The choice is made
// once, when a run starts, and handed to every stage that has a choice to
// make, so that tests can run every version in one program.

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__)) && \
    !defined(TARVEK_PORTABLE)
// Functions may be compiled for AVX2 with TARVEK_TARGET_AVX2. A portable
// build has no AVX2 paths, so that its tests and runs go through the scalar
// fast versions end to end.
#define TARVEK_HAVE_AVX2_PATHS 1
#define TARVEK_TARGET_AVX2 __attribute__((target("avx2,popcnt")))
#else
#define TARVEK_HAVE_AVX2_PATHS 0
#define TARVEK_TARGET_AVX2
#endif

namespace tarvek {

enum class Kernels {
  plain,   // the plain versions (a computation without one runs its scalar fast version)
  scalar,  // the fast versions, within the target's baseline instructions
  avx2,    // the fast versions with their AVX2 paths
};

// The fastest versions this build runs on this processor: avx2 where the
// build has the AVX2 paths and the processor has AVX2, scalar otherwise.
Kernels fastest_kernels();

// The versions a run of this build uses: plain in the reference build
// (-DTARVEK_REFERENCE=ON), the fastest otherwise.
Kernels run_kernels();

}  // namespace tarvek
