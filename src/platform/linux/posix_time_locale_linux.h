#pragma once
// The regional settings of a POSIX time locale (its strftime formats and names), given as
// the locale values that ReadRegionalSettings asks for. Pure: the Linux platform layer
// fills PosixTimeLocale from the process's locale.

#include <array>
#include <optional>
#include <string>

#include "platform/locale_api.h"

namespace runwarden {

struct PosixTimeLocale {
  std::string DateFormat;            // D_FMT, e.g. "%d.%m.%Y"
  std::string TimeFormat;            // T_FMT, e.g. "%H:%M:%S"
  std::string TwelveHourTimeFormat;  // T_FMT_AMPM, e.g. "%I:%M:%S %p"
  std::string AmText, PmText;        // AM_STR, PM_STR
  std::array<std::string, 12> MonthNames, MonthAbbreviations;  // MON_n, ABMON_n
  std::array<std::string, 7> DayNames, DayAbbreviations;       // DAY_n, ABDAY_n: Sunday first
};

// The text of a locale value, or nothing where the POSIX locale has no source for it.
std::optional<std::string> PosixLocaleInfo(const PosixTimeLocale& locale, LocaleType type);

}  // namespace runwarden
