#include "base/cpu_features.hpp"

namespace tarvek {

bool cpu_has_avx2() {
#if TARVEK_HAVE_AVX2_PATHS
  static const bool has = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
  }();
  return has;
#else
  return false;
#endif
}

}  // namespace tarvek
