#include "core/calendar/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/calendar/errors.h"

namespace runwarden {
namespace {

constexpr double kMillisecond = 1.0 / kMillisecondsPerDay;
constexpr double kDaysPer400Years = 146'097;
// 65535-12-31: 2958465 (9999-12-31) plus the days of the years 10000 to 65535, which are
// 138 cycles of 400 years and 336 years with 81 leap days among them.
constexpr double kLastSplitDay = 2'958'465 + 138 * kDaysPer400Years + 336 * 365 + 81;

template <class F>
std::string ConvertErrorOf(F&& f) {
  try {
    f();
  } catch (const EConvertError& error) {
    return error.Message();
  }
  return "no error";
}

TEST(DateFromParts, FixedPointsAndInvalidDates) {
  EXPECT_EQ(DateFromParts(1899, 12, 30), 0);
  EXPECT_EQ(DateFromParts(1900, 1, 1), 2);
  EXPECT_EQ(DateFromParts(1, 1, 1), -693593);
  EXPECT_EQ(DateFromParts(9999, 12, 31), 2958465);
  EXPECT_EQ(DateFromParts(2000, 2, 29), DateFromParts(2000, 3, 1) - 1);
  const struct {
    std::uint16_t y, m, d;
  } invalid[] = {{1900, 2, 29}, {2026, 2, 29}, {0, 1, 1},   {10000, 1, 1}, {2026, 0, 1},
                 {2026, 13, 1}, {2026, 1, 0},  {2026, 4, 31}, {2100, 2, 29}, {65535, 65535, 65535}};
  for (const auto& date : invalid) {
    EXPECT_EQ(ConvertErrorOf([&] { DateFromParts(date.y, date.m, date.d); }),
              "Invalid argument to date encode")
        << date.y << '-' << date.m << '-' << date.d;
  }
}

TEST(TimeFromParts, RangeAndMessage) {
  EXPECT_LT(TimeFromParts(23, 59, 59, 999), 1.0);
  EXPECT_EQ(TimeFromParts(12, 0, 0, 0), 0.5);
  EXPECT_EQ(TimeFromParts(6, 0, 0, 0), 0.25);
  const struct {
    std::uint16_t h, m, s, ms;
  } invalid[] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}};
  for (const auto& time : invalid) {
    EXPECT_EQ(ConvertErrorOf([&] { TimeFromParts(time.h, time.m, time.s, time.ms); }),
              "Invalid argument to time encode");
  }
}

TEST(SplitDateTime, NegativeValuesCountTheTimeForward) {
  const struct {
    DateTime value;
    DateParts date;
    TimeParts time;
    const char* why;
  } cases[] = {
      {0, {1899, 12, 30}, {0, 0, 0, 0}, "day zero"},
      {-1.25, {1899, 12, 29}, {6, 0, 0, 0}, "whole part toward zero, fraction forward"},
      {-0.5, {1899, 12, 30}, {12, 0, 0, 0}, "same day as 0.0"},
      {-693594, {0, 0, 0}, {0, 0, 0, 0}, "before year 1 splits into zeros"},
      {-693593, {1, 1, 1}, {0, 0, 0, 0}, "first valid day"},
      {2958465.5, {9999, 12, 31}, {12, 0, 0, 0}, "last valid day"},
      {1 - 0.4 * kMillisecond, {1899, 12, 31}, {0, 0, 0, 0}, "0.4 ms before midnight rounds up"},
      {-2 + 0.4 * kMillisecond, {1899, 12, 28}, {0, 0, 0, 0},
       "0.4 ms before the midnight after 29 December 1899 rounds to -2: the day before"},
      {0.5 * kMillisecond, {1899, 12, 30}, {0, 0, 0, 0}, "half a millisecond ties to even (0)"},
      {1.5 * kMillisecond, {1899, 12, 30}, {0, 0, 0, 2}, "one and a half ties to even (2)"},
      {std::numeric_limits<double>::quiet_NaN(), {0, 0, 0}, {0, 0, 0, 0}, "NaN has no date"},
      {std::numeric_limits<double>::infinity(), {0, 0, 0}, {0, 0, 0, 0}, "infinity has no date"},
      {1e300, {0, 0, 0}, {0, 0, 0, 0}, "far beyond 32-bit day numbers"},
      {2958466.25, {10000, 1, 1}, {6, 0, 0, 0}, "past 9999 the calendar goes on"},
      {DateFromParts(9999, 12, 31) + 2 * kDaysPer400Years, {10799, 12, 31}, {0, 0, 0, 0},
       "two 400-year cycles later: the same day of the year"},
      {kLastSplitDay, {65535, 12, 31}, {0, 0, 0, 0}, "the last year a field holds"},
      {kLastSplitDay + 1, {0, 0, 0}, {0, 0, 0, 0}, "a year past 65535 has no date"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitDate(c.value), c.date) << c.why;
    EXPECT_EQ(SplitTime(c.value), c.time) << c.why;
  }
}

TEST(SplitTime, EveryPartOfTheDay) {
  EXPECT_EQ(SplitTime(DateFromParts(2026, 12, 6) + TimeFromParts(15, 4, 5, 250)),
            (TimeParts{15, 4, 5, 250}));
  EXPECT_EQ(SplitTime(TimeFromParts(23, 59, 59, 999)), (TimeParts{23, 59, 59, 999}));
}

TEST(WeekdayNumber, FixedPoints) {
  EXPECT_EQ(WeekdayNumber(0), 7);  // Saturday
  EXPECT_EQ(WeekdayNumber(1), 1);  // Sunday, 31 December 1899
  EXPECT_EQ(WeekdayNumber(DateFromParts(1, 1, 1)), 2);  // Monday
  EXPECT_EQ(WeekdayNumber(DateFromParts(2026, 12, 6)), 1);
  // Unsettled before year 1, but always a usable index.
  for (DateTime v : {-693594.0, -1e9, std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_GE(WeekdayNumber(v), 1);
    EXPECT_LE(WeekdayNumber(v), 7);
  }
}

// The calendar by its own rules, apart from the standard library's.
bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int MonthLength(int year, int month) {
  constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kLengths[month - 1];
}

DateParts NextDay(DateParts date) {
  if (date.day < MonthLength(date.year, date.month)) return {date.year, date.month, ++date.day};
  if (date.month < 12) return {date.year, ++date.month, 1};
  return {++date.year, 1, 1};
}

// Every day number from 0001-01-01 on is the day after the one before, up to the last year
// that fits; the valid ones go back to the same value, and the weekday advances by one.
TEST(Calendar, EveryDayFromYearOneTo65535FollowsTheLastOne) {
  DateParts expected{1, 1, 1};
  int weekday = 2;  // 0001-01-01 is a Monday
  for (DateTime value = -693593; value <= kLastSplitDay; value += 1) {
    const DateParts date = SplitDate(value);
    ASSERT_EQ(date, expected) << "day " << value;
    ASSERT_EQ(WeekdayNumber(value), weekday) << "day " << value;
    if (date.year <= 9999) {
      ASSERT_EQ(DateFromParts(date.year, date.month, date.day), value) << "day " << value;
    }
    if (value < kLastSplitDay) expected = NextDay(expected);
    weekday = weekday % 7 + 1;
  }
  EXPECT_EQ(expected, (DateParts{65535, 12, 31}));
}

TEST(ShiftMonths, ClampsTheDayAndCarriesTheTime) {
  const DateTime noonish = TimeFromParts(13, 45, 30, 250);
  const struct {
    DateParts from;
    std::int32_t months;
    DateParts to;
  } cases[] = {
      {{2026, 1, 1}, -1, {2025, 12, 1}},  {{2024, 3, 31}, -1, {2024, 2, 29}},
      {{2025, 3, 31}, -1, {2025, 2, 28}}, {{2025, 12, 15}, 1, {2026, 1, 15}},
      {{2026, 5, 15}, -13, {2025, 4, 15}}, {{2026, 5, 15}, 12, {2027, 5, 15}},
      {{2026, 5, 15}, -12, {2025, 5, 15}}, {{2026, 5, 15}, 0, {2026, 5, 15}},
      {{2026, 1, 31}, 1, {2026, 2, 28}},   {{1899, 12, 15}, -1, {1899, 11, 15}},
  };
  for (const auto& c : cases) {
    const DateTime from = DateFromParts(c.from.year, c.from.month, c.from.day);
    const DateTime shifted = ShiftMonths(from >= 0 ? from + noonish : from - noonish, c.months);
    EXPECT_EQ(SplitDate(shifted), c.to) << c.from.year << '-' << c.from.month << " by " << c.months;
    EXPECT_EQ(SplitTime(shifted), (TimeParts{13, 45, 30, 250}));
  }
  // Across DateTime 0 the time of day follows the sign of the result: forward from its own
  // midnight on either side.
  EXPECT_EQ(ShiftMonths(-1.25, 1), DateFromParts(1900, 1, 29) + 0.25);
  EXPECT_EQ(ShiftMonths(DateFromParts(1900, 1, 29) + 0.25, -1), -1.25);
  EXPECT_EQ(ConvertErrorOf([] { ShiftMonths(DateFromParts(9999, 12, 1), 1); }),
            "Invalid argument to date encode");
  EXPECT_EQ(ConvertErrorOf([] { ShiftMonths(DateFromParts(1, 1, 1), -1); }),
            "Invalid argument to date encode");
  EXPECT_EQ(ConvertErrorOf([] { ShiftMonths(-700000, 0); }), "Invalid argument to date encode");
}

TEST(DateTimeFromSystemTime, DateFirstThenTime) {
  EXPECT_EQ(ConvertErrorOf([] { DateTimeFromSystemTime(SystemTime{}); }),
            "Invalid argument to date encode");
  SystemTime record{2026, 12, 0, 6, 13, 45, 30, 250};
  EXPECT_EQ(DateTimeFromSystemTime(record),
            DateFromParts(2026, 12, 6) + TimeFromParts(13, 45, 30, 250));
  record.wDayOfWeek = 9;  // not used
  EXPECT_NO_THROW(DateTimeFromSystemTime(record));
  record.wHour = 24;
  EXPECT_EQ(ConvertErrorOf([&] { DateTimeFromSystemTime(record); }),
            "Invalid argument to time encode");
  const SystemTime early{1899, 12, 0, 29, 6, 0, 0, 0};
  EXPECT_EQ(DateTimeFromSystemTime(early), -1.25);
}

class FixedClock final : public Clock {
 public:
  explicit FixedClock(SystemTime now) : now_(now) {}
  SystemTime GetLocalTime() override { return now_; }
  std::int64_t GetUnixTime() override { return 0; }

 private:
  SystemTime now_;
};

TEST(CurrentDateTime, CarriesTheClocksMilliseconds) {
  FixedClock clock({2026, 12, 1, 7, 4, 9, 2, 345});
  const DateTime now = CurrentDateTime(clock);
  EXPECT_EQ(SplitDate(now), (DateParts{2026, 12, 7}));
  EXPECT_EQ(SplitTime(now), (TimeParts{4, 9, 2, 345}));
}

}  // namespace
}  // namespace runwarden
