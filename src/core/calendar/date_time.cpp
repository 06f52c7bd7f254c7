#include "core/calendar/date_time.h"

#include <chrono>
#include <cmath>

#include "core/calendar/errors.h"

namespace runwarden {
namespace {

namespace chr = std::chrono;

// DateTime 0 (1899-12-30) is this many days before the civil epoch 1970-01-01.
constexpr int kDateTimeZeroToUnixEpochDays = 25'569;
// The Gregorian calendar repeats every 400 years, which are this many days.
constexpr std::int32_t kDaysPer400Years = 146'097;
// The largest year a DateParts field holds.
constexpr int kLastSplitYear = 65'535;

static_assert(chr::sys_days{chr::year{1899} / 12 / 30}.time_since_epoch().count() ==
              -kDateTimeZeroToUnixEpochDays);
static_assert(!(chr::year{2100} / 2 / 29).ok() && (chr::year{2000} / 2 / 29).ok());

[[noreturn]] void ThrowInvalidDate() { throw EConvertError("Invalid argument to date encode"); }

chr::year_month_day ValidCivilDate(int year, int month, int day) {
  const chr::year_month_day date{chr::year{year}, chr::month{static_cast<unsigned>(month)},
                                 chr::day{static_cast<unsigned>(day)}};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || !date.ok()) ThrowInvalidDate();
  return date;
}

DateTime DateTimeOfCivilDate(chr::year_month_day date) {
  return static_cast<DateTime>(chr::sys_days{date}.time_since_epoch().count() +
                               kDateTimeZeroToUnixEpochDays);
}

// Adds a time of day so that it counts forward from the date's midnight also for dates
// before 1899-12-30, whose values are negative.
DateTime WithTimeOfDay(DateTime date, double timeOfDay) {
  return date >= 0 ? date + timeOfDay : date - timeOfDay;
}

}  // namespace

DateStamp DateTimeToDateStamp(DateTime value) {
  const double milliseconds = std::nearbyint(value * kMillisecondsPerDay);  // ties to even
  // Beyond this the day number cannot fit 32 bits; such values, and NaN, have no date.
  constexpr double kLimit = 2.0 * 2'147'483'648.0 * kMillisecondsPerDay;
  if (!(std::fabs(milliseconds) < kLimit)) return {};
  const auto m = static_cast<std::int64_t>(milliseconds);
  const std::int64_t magnitude = m < 0 ? -m : m;
  const std::int64_t days = magnitude / kMillisecondsPerDay;
  const std::int64_t date =
      m < 0 ? kDateStampDayOfDateTimeZero - days : kDateStampDayOfDateTimeZero + days;
  if (date < INT32_MIN || date > INT32_MAX) return {};
  return {static_cast<std::int32_t>(magnitude % kMillisecondsPerDay),
          static_cast<std::int32_t>(date)};
}

DateTime DateFromParts(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
  return DateTimeOfCivilDate(ValidCivilDate(year, month, day));
}

DateTime TimeFromParts(std::uint16_t hour, std::uint16_t minute, std::uint16_t second,
                       std::uint16_t millisecond) {
  if (hour >= 24 || minute >= 60 || second >= 60 || millisecond >= 1000) {
    throw EConvertError("Invalid argument to time encode");
  }
  const std::int32_t ms = hour * 3'600'000 + minute * 60'000 + second * 1'000 + millisecond;
  return static_cast<double>(ms) / kMillisecondsPerDay;
}

DateParts SplitDate(DateTime value) {
  const std::int32_t day = DateTimeToDateStamp(value).Date;
  if (day <= 0) return {};
  // Whole 400-year cycles are counted apart, so that the standard library's calendar, whose
  // years end at 32767, converts only the rest.
  const std::int32_t cycles = (day - 1) / kDaysPer400Years;  // [0, 14699]
  const std::int32_t dayInCycle = (day - 1) % kDaysPer400Years;
  const chr::year_month_day date{chr::sys_days{chr::year{1} / 1 / 1} + chr::days{dayInCycle}};
  const int year = static_cast<int>(date.year()) + 400 * cycles;
  if (year > kLastSplitYear) return {};
  return {static_cast<std::uint16_t>(year),
          static_cast<std::uint16_t>(static_cast<unsigned>(date.month())),
          static_cast<std::uint16_t>(static_cast<unsigned>(date.day()))};
}

TimeParts SplitTime(DateTime value) {
  const std::int32_t t = DateTimeToDateStamp(value).Time;  // [0, 86399999]
  return {static_cast<std::uint16_t>(t / 3'600'000), static_cast<std::uint16_t>(t / 60'000 % 60),
          static_cast<std::uint16_t>(t % 60'000 / 1'000), static_cast<std::uint16_t>(t % 1'000)};
}

SystemTime SplitDateTime(DateTime value) {
  const DateParts day = SplitDate(value);
  const TimeParts time = SplitTime(value);
  return {day.year, day.month, 0, day.day, time.hour, time.minute, time.second, time.millisecond};
}

int WeekdayNumber(DateTime value) {
  // Day 1 (0001-01-01) is a Monday (2). Days before it wrap round the week too, so the
  // result is always 1 to 7.
  const std::int32_t day = DateTimeToDateStamp(value).Date;
  return (day % 7 + 7) % 7 + 1;
}

DateTime ShiftMonths(DateTime value, std::int32_t months) {
  const DateParts parts = SplitDate(value);
  const int step = months >= 0 ? 1 : -1;
  int year = parts.year + months / 12;   // quotient toward zero
  int month = parts.month + months % 12;  // remainder with the sign of months
  if (month < 1 || month > 12) {
    year += step;
    month -= 12 * step;
  }
  if (year < 1 || year > 9999 || month < 1 || month > 12) ThrowInvalidDate();
  const unsigned lastDay =
      static_cast<unsigned>((chr::year{year} / chr::month{static_cast<unsigned>(month)} /
                             chr::last).day());
  const int day = parts.day > lastDay ? static_cast<int>(lastDay) : parts.day;
  const DateTime shifted = DateTimeOfCivilDate(ValidCivilDate(year, month, day));
  return WithTimeOfDay(shifted, std::fabs(value - std::trunc(value)));
}

DateTime CurrentDateTime(Clock& clock) {
  const SystemTime now = clock.GetLocalTime();
  return DateFromParts(now.wYear, now.wMonth, now.wDay) +
         TimeFromParts(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

DateTime DateTimeFromSystemTime(const SystemTime& record) {
  const DateTime date = DateFromParts(record.wYear, record.wMonth, record.wDay);
  return WithTimeOfDay(date,
                       TimeFromParts(record.wHour, record.wMinute, record.wSecond, record.wMilliseconds));
}

}  // namespace runwarden
