#pragma once
// The text form of a DateTime as the computer's users write it: the pattern engine that
// turns a value into text by the regional settings.

#include <cstddef>
#include <string>
#include <string_view>

#include "core/calendar/date_time.h"
#include "core/calendar/regional_settings.h"
#include "platform/locale_api.h"

namespace runwarden {

// No text of the pattern engine is longer; what would go beyond is dropped.
inline constexpr std::size_t kMaxPatternTextLength = 256;

// The value written by the pattern. Never fails: an element that cannot be put out puts
// out nothing. Era elements ask the platform's date formatting through locale.
std::string FormatByPattern(std::string_view pattern, DateTime value,
                            const RegionalSettings& settings, LocaleApi& locale);

// The date in the short-date form and, unless the time is midnight to the second, a blank
// and the time in the long-time form: FormatByPattern("C", ...).
std::string DateTimeText(DateTime value, const RegionalSettings& settings, LocaleApi& locale);

}  // namespace runwarden
