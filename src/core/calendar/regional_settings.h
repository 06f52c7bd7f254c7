#pragma once
// The regional settings of the thread's locale that the text form of a DateTime follows,
// read once at start-up and only read afterwards.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/calendar/text_rules.h"
#include "platform/locale_api.h"

namespace runwarden {

// Primary languages (low 10 bits of a language identifier) that the era rules single out.
inline constexpr std::uint16_t kLanguageChinese = 0x04;
inline constexpr std::uint16_t kLanguageJapanese = 0x11;
inline constexpr std::uint16_t kLanguageKorean = 0x12;

// Every field starts with the value that applies when the locale does not give one.
struct RegionalSettings {
  std::string ShortDatePattern = "m/d/yy";
  std::string LongDatePattern = "mmmm d, yyyy";
  // Built from the clock kind, the hour's leading zero and the marker position.
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
  LocaleId Locale = 0;                // for the platform's era texts
  std::uint16_t PrimaryLanguage = 0;  // low 10 bits of the language identifier
  std::uint16_t SubLanguage = 0;      // the next 6 bits
};

// Reads every setting of the thread's locale once; a value the locale does not give takes
// its default.
RegionalSettings ReadRegionalSettings(LocaleApi& locale);

// The lead bytes of the system's ANSI code page (GetCPInfo of CP_ACP); none when it cannot
// be read.
SystemLeadBytes ReadSystemLeadBytes(LocaleApi& locale);

// The era form of a date pattern read from the locale: for the era calendars (types 3, 4
// and 5) years become era years and "gg" the full era name; otherwise Chinese, Japanese
// and Korean patterns lose their era letters. Double-byte characters are kept whole.
std::string WithEraElements(std::string_view pattern, std::int32_t calendarType,
                            std::uint16_t primaryLanguage, const LeadByteSet& leadBytes);

}  // namespace runwarden
