#include "base/kernels.hpp"

namespace tarvek {

Kernels fastest_kernels() {
#if TARVEK_HAVE_AVX2_PATHS
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  }();
  return has ? Kernels::avx2 : Kernels::scalar;
#else
  return Kernels::scalar;
#endif
}

Kernels run_kernels() {
#ifdef TARVEK_REFERENCE
  return Kernels::plain;
#else
  return fastest_kernels();
#endif
}

}  // namespace tarvek
