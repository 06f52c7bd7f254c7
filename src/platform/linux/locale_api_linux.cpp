// The regional settings on Linux: the process's time locale (LC_ALL, LC_TIME or LANG) read
// through nl_langinfo. In the C and POSIX locales every query fails, so the defaults apply.
#ifndef __linux__
#error "locale_api_linux.cpp belongs to the Linux build only"
#endif

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/linux/posix_time_locale_linux.h"
#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// The name the process's time locale is chosen by, as setlocale(LC_TIME, "") would.
std::string_view TimeLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

bool IsPosixLocale(std::string_view name) {
  return name == "C" || name == "POSIX" || name.starts_with("C.");
}

// Read once. A separate locale object leaves the process's own locale (number formats,
// character classes) as it is.
std::optional<PosixTimeLocale> ReadTimeLocale() {
  if (IsPosixLocale(TimeLocaleName())) return std::nullopt;
  const locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return std::nullopt;  // not installed
  const auto text = [&](nl_item item) { return std::string(nl_langinfo_l(item, locale)); };
  PosixTimeLocale time;
  time.DateFormat = text(D_FMT);
  time.TimeFormat = text(T_FMT);
  time.TwelveHourTimeFormat = text(T_FMT_AMPM);
  time.AmText = text(AM_STR);
  time.PmText = text(PM_STR);
  for (int month = 0; month < 12; ++month) {
    time.MonthNames[month] = text(MON_1 + month);
    time.MonthAbbreviations[month] = text(ABMON_1 + month);
  }
  for (int day = 0; day < 7; ++day) {
    time.DayNames[day] = text(DAY_1 + day);
    time.DayAbbreviations[day] = text(ABDAY_1 + day);
  }
  freelocale(locale);
  return time;
}

const std::optional<PosixTimeLocale>& ProcessTimeLocale() {
  static const std::optional<PosixTimeLocale> locale = ReadTimeLocale();
  return locale;
}

}  // namespace

// No Windows locale identifier: the language rules of the era elements do not apply.
LocaleId LinuxLocaleApi::GetThreadLocale() { return 0; }

int LinuxLocaleApi::GetLocaleInfoA(LocaleId, LocaleType type, char* buffer, int size) {
  const std::optional<PosixTimeLocale>& locale = ProcessTimeLocale();
  if (!locale) return 0;
  const std::optional<std::string> value = PosixLocaleInfo(*locale, type);
  if (!value) return 0;
  const int needed = static_cast<int>(value->size()) + 1;
  if (size == 0) return needed;  // a query for the room needed
  if (needed > size) return 0;
  std::memcpy(buffer, value->c_str(), value->size() + 1);
  return needed;
}

// No lead bytes: the short-date pattern quotes every ASCII letter of the locale's literal
// text, so the characters of a multi-byte character set (UTF-8, or the trail bytes of GBK
// and Big5) come out whole without them.
bool LinuxLocaleApi::GetCPInfo(std::uint32_t, CodePageInfo*) { return false; }

// No alternative calendars: era elements put out nothing.
int LinuxLocaleApi::GetDateFormatA(LocaleId, std::uint32_t, const SystemTime*, const char*, char*,
                                   int) {
  return 0;
}

}  // namespace runwarden
