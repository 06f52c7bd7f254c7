// Locale-aware upper-casing on Windows.
#include "platform/win/windows_api_win.h"

#include "platform/win/real_platform_win.h"

namespace runwarden {

std::uint32_t WindowsCaseMapping::CharUpperBuffA(char* text, std::uint32_t length) {
  return ::CharUpperBuffA(text, length);
}

}  // namespace runwarden
