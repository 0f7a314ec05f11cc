#pragma once
// The path of the population simulator, for the end-to-end tests built with
// it (the target defines TARVEK_F2SIM_PATH); nullptr in a build without it.

namespace tarvek::testing {

#ifdef TARVEK_F2SIM_PATH
inline constexpr const char* kSimulator = TARVEK_F2SIM_PATH;
#else
inline constexpr const char* kSimulator = nullptr;
#endif

}  // namespace tarvek::testing
