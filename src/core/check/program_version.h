#pragma once
// The release version of the program, which the build defines once (CMakeLists.txt).

#include <string_view>

namespace runwarden {

inline constexpr std::string_view kProgramVersion = RUNWARDEN_VERSION;

}  // namespace runwarden
