// The regional settings on Linux. Placeholder: every query fails, so the defaults apply.
#ifndef __linux__
#error "locale_api_linux.cpp belongs to the Linux build only"
#endif

#include "platform/posix/real_platform_linux.h"

namespace runwarden {

LocaleId LinuxLocaleApi::GetThreadLocale() { return 0; }
int LinuxLocaleApi::GetLocaleInfoA(LocaleId, LocaleType, char*, int) { return 0; }
bool LinuxLocaleApi::GetCPInfo(std::uint32_t, CodePageInfo*) { return false; }
int LinuxLocaleApi::GetDateFormatA(LocaleId, std::uint32_t, const SystemTime*, const char*, char*,
                                   int) {
  return 0;
}

}  // namespace runwarden
