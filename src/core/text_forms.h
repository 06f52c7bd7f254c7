#pragma once
// The text form of a DateTime as the computer's users write it: the locale's regional
// settings, read once at start-up, and the pattern engine that turns a value into text.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/date_time.h"
#include "core/text_rules.h"
#include "platform/locale_api.h"

namespace runwarden {

struct RegionalSettings {
  std::string ShortDatePattern = "m/d/yy";
  std::string LongDatePattern = "mmmm d, yyyy";
  std::string LongTimePattern = "h:mm:ss AMPM";
  std::string ShortTimePattern = "h:mm AMPM";
  char DateDelimiter = '/';  // 0: put out nothing
  char TimeDelimiter = ':';
  std::string AmText = "am";
  std::string PmText = "pm";
  std::array<std::string, 12> MonthAbbreviations{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> MonthNames{"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
  // Sunday first, indexed by WeekdayNumber - 1.
  std::array<std::string, 7> DayAbbreviations{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> DayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                      "Thursday", "Friday", "Saturday"};
  LeadByteSet LeadBytes;
  LocaleId Locale = 0;
  std::uint16_t PrimaryLanguage = 0;  // low 10 bits of the language identifier
  std::uint16_t SubLanguage = 0;      // the next 6 bits
};

// Reads every setting of the thread's locale once; a value the locale does not give takes
// its default.
RegionalSettings ReadRegionalSettings(LocaleApi& locale);

// At most 256 bytes. Era elements ask the platform's date formatting through locale.
std::string FormatByPattern(std::string_view pattern, DateTime value,
                            const RegionalSettings& settings, LocaleApi& locale);

// The date in the short-date form and, unless the time is midnight to the second, a blank
// and the time in the long-time form.
std::string DateTimeText(DateTime value, const RegionalSettings& settings, LocaleApi& locale);

}  // namespace runwarden
