#include "core/check/time_frames.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;

SystemTime At(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
              std::uint16_t minute = 0, std::uint16_t second = 0, std::uint16_t ms = 0) {
  return {year, month, 0, day, hour, minute, second, ms};
}

DateTime Value(const SystemTime& t) { return DateTimeFromSystemTime(t); }

DateTime Date(std::uint16_t year, std::uint16_t month, std::uint16_t day) {
  return DateFromParts(year, month, day);
}

long ClockReadings(const FakePlatform& fake) {
  return std::count(fake.calls.begin(), fake.calls.end(), "GetLocalTime");
}

TEST(FindTimeFrame, KeywordsMatchExactly) {
  const struct {
    const char* text;
    bool found;
    TimeFrameKind kind;
  } cases[] = {
      {"today", true, TimeFrameKind::Today},
      {"yesterday", true, TimeFrameKind::Yesterday},
      {"this_week", true, TimeFrameKind::ThisWeek},
      {"last_week", true, TimeFrameKind::LastWeek},
      {"this_month", true, TimeFrameKind::ThisMonth},
      {"last_month", true, TimeFrameKind::LastMonth},
      {"schedule", true, TimeFrameKind::Schedule},
      {"Schedule", false, TimeFrameKind::LastMonth},
      {"Today", false, TimeFrameKind::LastMonth},  // case respected
      {"today ", false, TimeFrameKind::LastMonth},
      {"last-week", false, TimeFrameKind::LastMonth},
      {"", false, TimeFrameKind::LastMonth},
      {"tomorrow", false, TimeFrameKind::LastMonth},
  };
  for (const auto& c : cases) {
    TimeFrameKind kind = TimeFrameKind::LastMonth;  // a failed lookup leaves it alone
    EXPECT_EQ(FindTimeFrame(c.text, kind), c.found) << c.text;
    EXPECT_EQ(kind, c.kind) << c.text;
  }
}

// Every keyword on the days where calendars go wrong: a Sunday, a Saturday, in January,
// on the first of a month, at the turn of a year and after a leap day. The clock always
// reads the same time, so every "now" is that reading.
TEST(ComputeTimeWindow, KeywordRows) {
  constexpr DateTime kNow = -1;  // stands for the clock reading
  const struct {
    SystemTime clock;
    TimeFrameKind kind;
    DateTime start, end;
    int readings;
    const char* reason;
  } cases[] = {
      {At(2026, 12, 6, 10, 30), TimeFrameKind::Today, Date(2026, 12, 6), kNow, 2, "Sunday"},
      {At(2026, 12, 6, 10, 30), TimeFrameKind::Yesterday, Date(2026, 12, 5), Date(2026, 12, 6), 1, "Sunday"},
      {At(2026, 12, 6, 10, 30), TimeFrameKind::ThisWeek, Date(2026, 12, 6), kNow, 3, "Sunday begins its week"},
      {At(2026, 12, 6, 10, 30), TimeFrameKind::LastWeek, Date(2026, 11, 29), Date(2026, 12, 6), 2, "Sunday"},
      {At(2026, 12, 6, 10, 30), TimeFrameKind::ThisMonth, Date(2026, 12, 1), kNow, 2, "Sunday"},
      {At(2026, 12, 6, 10, 30), TimeFrameKind::LastMonth, Date(2026, 11, 1), Date(2026, 12, 1), 1, "Sunday"},
      {At(2026, 12, 12, 23, 59, 59, 999), TimeFrameKind::Today, Date(2026, 12, 12), kNow, 2, "Saturday"},
      {At(2026, 12, 12, 23, 59, 59, 999), TimeFrameKind::Yesterday, Date(2026, 12, 11), Date(2026, 12, 12), 1, "Saturday"},
      {At(2026, 12, 12, 23, 59, 59, 999), TimeFrameKind::ThisWeek, Date(2026, 12, 6), kNow, 3, "Saturday: six days back"},
      {At(2026, 12, 12, 23, 59, 59, 999), TimeFrameKind::LastWeek, Date(2026, 11, 29), Date(2026, 12, 6), 2, "Saturday"},
      {At(2026, 12, 12, 23, 59, 59, 999), TimeFrameKind::ThisMonth, Date(2026, 12, 1), kNow, 2, "Saturday"},
      {At(2026, 12, 12, 23, 59, 59, 999), TimeFrameKind::LastMonth, Date(2026, 11, 1), Date(2026, 12, 1), 1, "Saturday"},
      {At(2026, 1, 14, 8), TimeFrameKind::Today, Date(2026, 1, 14), kNow, 2, "January"},
      {At(2026, 1, 14, 8), TimeFrameKind::Yesterday, Date(2026, 1, 13), Date(2026, 1, 14), 1, "January"},
      {At(2026, 1, 14, 8), TimeFrameKind::ThisWeek, Date(2026, 1, 11), kNow, 3, "January, Wednesday"},
      {At(2026, 1, 14, 8), TimeFrameKind::LastWeek, Date(2026, 1, 4), Date(2026, 1, 11), 2, "January"},
      {At(2026, 1, 14, 8), TimeFrameKind::ThisMonth, Date(2026, 1, 1), kNow, 2, "January"},
      {At(2026, 1, 14, 8), TimeFrameKind::LastMonth, Date(2025, 12, 1), Date(2026, 1, 1), 1, "January: December before"},
      {At(2026, 4, 1), TimeFrameKind::Today, Date(2026, 4, 1), kNow, 2, "first of a month at midnight"},
      {At(2026, 4, 1), TimeFrameKind::Yesterday, Date(2026, 3, 31), Date(2026, 4, 1), 1, "first of a month"},
      {At(2026, 4, 1), TimeFrameKind::ThisWeek, Date(2026, 3, 29), kNow, 3, "first of a month"},
      {At(2026, 4, 1), TimeFrameKind::LastWeek, Date(2026, 3, 22), Date(2026, 3, 29), 2, "first of a month"},
      {At(2026, 4, 1), TimeFrameKind::ThisMonth, Date(2026, 4, 1), kNow, 2, "first of a month"},
      {At(2026, 4, 1), TimeFrameKind::LastMonth, Date(2026, 3, 1), Date(2026, 4, 1), 1, "first of a month"},
      {At(2027, 1, 1, 6), TimeFrameKind::Yesterday, Date(2026, 12, 31), Date(2027, 1, 1), 1, "new year's day"},
      {At(2027, 1, 1, 6), TimeFrameKind::ThisWeek, Date(2026, 12, 27), kNow, 3, "a week across the year"},
      {At(2027, 1, 1, 6), TimeFrameKind::LastWeek, Date(2026, 12, 20), Date(2026, 12, 27), 2, "new year's day"},
      {At(2027, 1, 1, 6), TimeFrameKind::LastMonth, Date(2026, 12, 1), Date(2027, 1, 1), 1, "new year's day"},
      {At(2024, 3, 1, 12), TimeFrameKind::Yesterday, Date(2024, 2, 29), Date(2024, 3, 1), 1, "after a leap day"},
      {At(2024, 3, 1, 12), TimeFrameKind::LastMonth, Date(2024, 2, 1), Date(2024, 3, 1), 1, "leap February"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.clockReadings = {c.clock};
    const TimeWindow window = ComputeTimeWindow(0, c.kind, fake);
    const DateTime end = c.end == kNow ? Value(c.clock) : c.end;
    EXPECT_EQ(window.WindowStart, c.start) << c.reason << " kind " << static_cast<int>(c.kind);
    EXPECT_EQ(window.WindowEnd, end) << c.reason << " kind " << static_cast<int>(c.kind);
    EXPECT_EQ(ClockReadings(fake), c.readings) << c.reason << " kind " << static_cast<int>(c.kind);
  }
}

TEST(ComputeTimeWindow, EveryNowIsAFreshReading) {
  // Saturday just before midnight, then Sunday: "today" is Saturday's midnight, the weekday
  // comes from the second reading and the end from the third.
  FakePlatform fake;
  fake.clockReadings = {At(2026, 12, 12, 23, 59, 59, 999), At(2026, 12, 13), At(2026, 12, 13, 0, 0, 1)};
  TimeWindow window = ComputeTimeWindow(0, TimeFrameKind::ThisWeek, fake);
  EXPECT_EQ(window.WindowStart, Date(2026, 12, 12));
  EXPECT_EQ(window.WindowEnd, Value(At(2026, 12, 13, 0, 0, 1)));
  EXPECT_EQ(window.Now, Value(At(2026, 12, 12, 23, 59, 59, 999))) << "the first reading";

  fake.clockReadings = {At(2026, 12, 7, 12), At(2026, 12, 7, 12, 0, 5)};
  window = ComputeTimeWindow(60, TimeFrameKind::Today, fake);
  EXPECT_EQ(window.WindowStart, Value(At(2026, 12, 7, 12)) - 3600.0 / 86400);
  EXPECT_EQ(window.WindowEnd, Value(At(2026, 12, 7, 12, 0, 5)));
  EXPECT_EQ(window.Now, Value(At(2026, 12, 7, 12))) << "the reading the start is measured from";
}

TEST(ComputeTimeWindow, MinuteCounts) {
  const SystemTime clock = At(2026, 12, 7, 12);
  const struct {
    std::int32_t minutes;
    TimeFrameKind kind;
    DateTime start;
    const char* reason;
  } cases[] = {
      {60, TimeFrameKind::LastMonth, Value(clock) - 60.0 * 60 / 86400, "minutes win over the kind"},
      {1, TimeFrameKind::Today, Value(clock) - 60.0 / 86400, "one minute"},
      {35'791'394, TimeFrameKind::Today, Value(clock) - 35'791'394.0 * 60 / 86400,
       "the largest count whose seconds fit 32 bits"},
      {35'791'395, TimeFrameKind::Today, Value(clock) - 35'791'395.0 * 60 / 86400,
       "one more: the seconds need 64 bits"},
      {std::numeric_limits<std::int32_t>::max(), TimeFrameKind::Today,
       Value(clock) - 2147483647.0 * 60 / 86400, "the largest count"},
      {0, TimeFrameKind::Today, Date(2026, 12, 7), "zero is no minute count"},
      {-5, TimeFrameKind::Today, Date(2026, 12, 7), "a negative count takes the keyword row"},
      {-5, TimeFrameKind::Yesterday, Date(2026, 12, 6), "of whatever kind was found"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.clockReadings = {clock};
    const TimeWindow window = ComputeTimeWindow(c.minutes, c.kind, fake);
    EXPECT_DOUBLE_EQ(window.WindowStart, c.start) << c.reason;
    EXPECT_LT(window.WindowStart, window.WindowEnd) << c.reason;
  }
}

TEST(IsInTimeWindow, StartIncludedEndExcluded) {
  const TimeWindow window{10.0, 11.0};
  EXPECT_TRUE(IsInTimeWindow(window, 10.0));
  EXPECT_TRUE(IsInTimeWindow(window, 10.999));
  EXPECT_FALSE(IsInTimeWindow(window, 11.0));
  EXPECT_FALSE(IsInTimeWindow(window, 9.999));
  EXPECT_FALSE(IsInTimeWindow({10.0, 10.0}, 10.0)) << "an empty window holds nothing";
}

}  // namespace
}  // namespace runwarden
