#pragma once
// DateTime values and their calendar arithmetic.
//
// A DateTime is a double: the whole part counts days from 30 December 1899 (day 0), the
// fraction is the time of day. For a negative value the whole part, taken toward zero, is
// the date and the absolute fraction is still the time after midnight: -1.25 is
// 29 December 1899, 06:00. Valid dates run from 0001-01-01 (-693593) to 9999-12-31
// (2958465). Differences are in days.

#include <cstdint>

#include "platform/clock.h"
#include "platform/system_time.h"

namespace runwarden {

using DateTime = double;

inline constexpr std::int32_t kMillisecondsPerDay = 86'400'000;
// DateStamp day number of 30 December 1899 (DateTime 0); day 1 is 0001-01-01.
inline constexpr std::int32_t kDateStampDayOfDateTimeZero = 693'594;

// A DateTime split into the millisecond of its day and its day number, after rounding to
// whole milliseconds (ties to even). Values whose day number does not fit 32 bits, and
// NaN, split as day 0 at midnight, which is no date.
struct DateStamp {
  std::int32_t Time = 0;  // [0, 86399999]
  std::int32_t Date = 0;  // 1 = 0001-01-01
};

struct DateParts {
  std::uint16_t year = 0, month = 0, day = 0;
  friend bool operator==(const DateParts&, const DateParts&) = default;
};

struct TimeParts {
  std::uint16_t hour = 0, minute = 0, second = 0, millisecond = 0;
  friend bool operator==(const TimeParts&, const TimeParts&) = default;
};

DateStamp DateTimeToDateStamp(DateTime value);

// Throws EConvertError "Invalid argument to date encode" for a date outside
// 0001-01-01..9999-12-31 or one that does not exist.
DateTime DateFromParts(std::uint16_t year, std::uint16_t month, std::uint16_t day);

// Throws EConvertError "Invalid argument to time encode" unless every part is in range.
DateTime TimeFromParts(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                       std::uint16_t millisecond);

// Year, month and day: the Gregorian date of the value's day number, also past 9999 for as
// long as the year fits its field (65535); all 0 before year 1 and beyond.
DateParts SplitDate(DateTime value);
TimeParts SplitTime(DateTime value);

// Both in one record, wDayOfWeek 0: what DateTimeFromSystemTime turns back into the value
// rounded to the millisecond, or refuses.
SystemTime SplitDateTime(DateTime value);

// 1 = Sunday ... 7 = Saturday.
int WeekdayNumber(DateTime value);

// The same day and time of day months later (or earlier); a day past the end of the new
// month becomes its last day. Throws as DateFromParts when the year leaves 1..9999.
DateTime ShiftMonths(DateTime value, std::int32_t months);

// The local wall-clock time, milliseconds included.
DateTime CurrentDateTime(Clock& clock);

// Date first (wDayOfWeek unused), then time; throws as DateFromParts / TimeFromParts.
DateTime DateTimeFromSystemTime(const SystemTime& record);

}  // namespace runwarden
