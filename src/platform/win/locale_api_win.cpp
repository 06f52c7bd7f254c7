// The regional settings of the thread's locale on Windows.
#include "platform/win/windows_api_win.h"

#include "platform/win/real_platform_win.h"

namespace runwarden {

LocaleId WindowsLocaleApi::GetThreadLocale() { return ::GetThreadLocale(); }

int WindowsLocaleApi::GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) {
  return ::GetLocaleInfoA(locale, type, buffer, size);
}

bool WindowsLocaleApi::GetCPInfo(std::uint32_t codePage, CodePageInfo* info) {
  CPINFO cp{};
  if (!::GetCPInfo(codePage, &cp)) return false;
  info->MaxCharSize = cp.MaxCharSize;
  for (int i = 0; i < 12; ++i) info->LeadByte[i] = cp.LeadByte[i];
  return true;
}

int WindowsLocaleApi::GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                                     const char* format, char* buffer, int size) {
  const SYSTEMTIME record{date->wYear, date->wMonth,  date->wDayOfWeek, date->wDay,
                          date->wHour, date->wMinute, date->wSecond,    date->wMilliseconds};
  return ::GetDateFormatA(locale, flags, &record, format, buffer, size);
}

}  // namespace runwarden
