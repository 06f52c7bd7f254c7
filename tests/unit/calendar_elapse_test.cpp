// The calendar engine's edges: reading the normalised form, each component, repetitions,
// "~" days, leap years, daylight-saving gaps and overlaps, zones; systemd-analyze checks
// the rest (tests/e2e/linux_calendar_oracle.sh).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/calendar/calendar_elapse.h"
#include "core/calendar/calendar_event.h"
#include "fakes/fake_zone_rules.h"

namespace runwarden {
namespace {

using Status = CalendarElapse::Status;

// "YYYY-MM-DD HH:MM:SS[.ffffff]" in UTC as microseconds since the epoch.
std::int64_t Usec(const char* text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::sscanf(text, "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  const std::string fraction = std::string(text).find('.') == std::string::npos
                                   ? "0"
                                   : (std::string(std::strchr(text, '.') + 1) + "00000").substr(0, 6);
  const std::int64_t micro = std::stoll(fraction);
  return (DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86'400 +
          h * 3600 + mi * 60 + s) * 1'000'000 + micro;
}

TEST(CalendarEvent, ReadsTheNormalisedForm) {
  const auto event = ParseCalendarEvent("Mon..Wed,Fri 2024,2026..2030/2-*~03 *:00/15:30.500000 Europe/Berlin");
  ASSERT_TRUE(event);
  EXPECT_EQ(event->weekdays, 0b10111);
  EXPECT_EQ(event->year, (CalendarComponent{{2024, -1, 0}, {2026, 2030, 2}}));
  EXPECT_TRUE(event->month.empty());
  EXPECT_TRUE(event->endOfMonth);
  EXPECT_EQ(event->day, (CalendarComponent{{3, -1, 0}}));
  EXPECT_EQ(event->minute, (CalendarComponent{{0, -1, 15}}));
  EXPECT_EQ(event->second, (CalendarComponent{{30'500'000, -1, 0}}));
  EXPECT_EQ(event->zone, "Europe/Berlin");
  const auto utc = ParseCalendarEvent("*-*-* 10..12:00:*");
  ASSERT_TRUE(utc);
  EXPECT_EQ(utc->hour, (CalendarComponent{{10, 12, 1}}));
  EXPECT_EQ(utc->second, (CalendarComponent{{0, -1, 1'000'000}}));
  EXPECT_TRUE(ParseCalendarEvent("*-*-* 00:00:00 UTC")->utc);
  EXPECT_EQ(ParseCalendarEvent("*-*-* 00:00:00 CET")->zone, "");
}

TEST(CalendarEvent, RefusesOtherForms) {
  for (const char* text : {"", "daily", "*-*-*", "*-*-* 00:00", "Foo *-*-* 00:00:00",
                           "Wed..Mon *-*-* 00:00:00", "*-*-* 00:00:00/0", "*-*-* 5..3:00:00",
                           "*-*-* 00:00:00.1234567", "*-*-* -1:00:00", "*-*-* 00:00:00 a b",
                           "*-*-*-* 00:00:00", "*-*-* 0x1:00:00"}) {
    EXPECT_FALSE(ParseCalendarEvent(text)) << text;
  }
}

TEST(CalendarEvent, PreviousMatch) {
  const struct {
    CalendarComponent component;
    std::int64_t limit, expected;
  } cases[] = {
      {{}, 7, 7},
      {{{5, -1, 0}}, 7, 5},
      {{{5, -1, 0}}, 4, -1},
      {{{0, -1, 15}}, 44, 30},
      {{{10, 20, 3}}, 30, 19},
      {{{10, 20, 3}}, 9, -1},
      {{{1, -1, 0}, {30, -1, 0}, {12, 14, 1}}, 29, 14},
      {{{3, -1, 0}}, -1, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PreviousMatch(c.component, c.limit), c.expected) << c.limit;
  }
}

TEST(CalendarElapse, EveryDayRoundTrips) {
  std::int64_t previous = DaysFromCivil(1969, 12, 31);
  for (std::int64_t days = 0; days < DaysFromCivil(2200, 1, 1); ++days) {
    const CivilDate date = CivilFromDays(days);
    ASSERT_EQ(DaysFromCivil(date.year, date.month, date.day), days);
    ASSERT_EQ(previous + 1, days);
    previous = days;
  }
}

TEST(CalendarElapse, PreviousElapseInUtc) {
  const struct {
    const char* event;
    const char* limit;
    const char* expected;  // nullptr: none
    const char* reason;
  } cases[] = {
      {"*-*-* 12:00:00", "2024-05-01 12:00:00", "2024-05-01 12:00:00", "at the limit itself"},
      {"*-*-* 12:00:00", "2024-05-01 11:59:59.999999", "2024-04-30 12:00:00", "just before"},
      {"*-*-* *:00/15:00", "2024-05-01 00:14:59", "2024-05-01 00:00:00", "repetition"},
      {"*-*-* *:00/15:00", "2024-01-01 00:00:00", "2024-01-01 00:00:00", "new year"},
      {"*-*-* 00:00:30.250000", "2024-05-01 00:00:30.2", "2024-04-30 00:00:30.25", "fraction"},
      {"*-02-29 00:00:00", "2028-02-28 23:00:00", "2024-02-29 00:00:00", "leap day"},
      {"*-02-29 00:00:00", "2101-01-01 00:00:00", "2096-02-29 00:00:00", "2100 is no leap year"},
      {"Mon *-02-29 00:00:00", "2030-01-01 00:00:00", "2016-02-29 00:00:00", "leap Monday"},
      {"*-02~01 00:00:00", "2024-03-15 00:00:00", "2024-02-29 00:00:00", "last day, leap"},
      {"*-02~01 00:00:00", "2023-03-15 00:00:00", "2023-02-28 00:00:00", "last day"},
      {"*-*~03 00:00:00", "2024-05-01 00:00:00", "2024-04-28 00:00:00", "third last day"},
      {"*-05~07/1 00:00:00", "2024-06-10 00:00:00", "2024-05-31 00:00:00", "last seven days"},
      {"Mon *-05~07/1 00:00:00", "2024-06-10 00:00:00", "2024-05-27 00:00:00", "last Monday"},
      {"*-*-31 00:00:00", "2024-05-01 00:00:00", "2024-03-31 00:00:00", "months of 31 days"},
      {"2020..2022-*-* 00:00:00", "2024-05-01 00:00:00", "2022-12-31 00:00:00", "years past"},
      {"2099-*-* 00:00:00", "2024-05-01 00:00:00", nullptr, "only ahead"},
      {"1969-*-* 00:00:00", "2024-05-01 00:00:00", nullptr, "before 1970"},
      {"*-*-* 12:00:00", "1970-01-01 11:00:00", nullptr, "nothing since 1970"},
      {"Sat,Sun *-*-* 08:05:40", "2024-05-01 00:00:00", "2024-04-28 08:05:40", "weekend"},
  };
  testing::FakeZoneRules zones;
  for (const auto& c : cases) {
    const auto event = ParseCalendarEvent(c.event);
    ASSERT_TRUE(event) << c.event;
    const CalendarElapse expected =
        c.expected ? CalendarElapse{Status::kFound, Usec(c.expected)} : CalendarElapse{};
    EXPECT_EQ(PreviousElapse(*event, Usec(c.limit), "", zones), expected) << c.reason;
  }
}

// Test/Summer: 02:00 local (01:00 UTC) jumps to 03:00 on 2024-03-31; 03:00 local (01:00
// UTC) falls back to 02:00 on 2024-10-27.
TEST(CalendarElapse, DaylightSavingAsTheManagerCountsIt) {
  testing::FakeZoneRules zones;
  zones.summerStart = Usec("2024-03-31 01:00:00") / 1'000'000;
  zones.summerEnd = Usec("2024-10-27 01:00:00") / 1'000'000;
  const struct {
    const char* event;
    const char* limit;     // UTC
    const char* expected;  // UTC
    const char* reason;
  } cases[] = {
      {"*-*-* 02:30:00", "2024-03-31 12:00:00", "2024-03-30 01:30:00", "a time in the gap"},
      {"*-*-* *:00/15:00", "2024-03-31 01:00:00", "2024-03-31 01:00:00", "03:00 after the gap"},
      {"*-*-* *:00/15:00", "2024-03-31 00:59:59", "2024-03-31 00:45:00", "01:45 before it"},
      {"*-*-* 02:30:00", "2024-10-27 12:00:00", "2024-10-27 00:30:00", "first occurrence"},
      {"*-*-* *:00/15:00", "2024-10-27 01:50:00", "2024-10-27 00:45:00", "second not counted"},
      {"*-*-* *:00/15:00", "2024-10-27 02:00:00", "2024-10-27 02:00:00", "after the overlap"},
      {"*-*-* 02:30:00 UTC", "2024-10-27 12:00:00", "2024-10-27 02:30:00", "own zone UTC"},
  };
  for (const auto& c : cases) {
    const auto event = ParseCalendarEvent(c.event);
    ASSERT_TRUE(event) << c.event;
    EXPECT_EQ(PreviousElapse(*event, Usec(c.limit), "Test/Summer", zones),
              (CalendarElapse{Status::kFound, Usec(c.expected)}))
        << c.reason;
  }
  const auto own = ParseCalendarEvent("*-*-* 02:30:00 Test/Summer");
  EXPECT_EQ(PreviousElapse(*own, Usec("2024-10-27 12:00:00"), "", zones),
            (CalendarElapse{Status::kFound, Usec("2024-10-27 00:30:00")}));
  EXPECT_EQ(PreviousElapse(*own, Usec("2024-10-27 12:00:00"), "Nowhere/Zone", zones).status,
            Status::kFound);
  const auto daily = ParseCalendarEvent("*-*-* 00:00:00");
  EXPECT_EQ(PreviousElapse(*daily, Usec("2024-10-27 12:00:00"), "Nowhere/Zone", zones).status,
            Status::kUnknownZone);
}

TEST(CalendarElapse, SearchesYearsBackByDaysNotSeconds) {
  testing::FakeZoneRules zones;
  zones.summerStart = Usec("2024-03-31 01:00:00") / 1'000'000;
  zones.summerEnd = Usec("2024-10-27 01:00:00") / 1'000'000;
  const auto event = ParseCalendarEvent("Mon *-02-29 *:*:00/0.500000");
  ASSERT_TRUE(event);
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(PreviousElapse(*event, Usec("2199-01-01 00:00:00"), "Test/Summer", zones),
            (CalendarElapse{Status::kFound, Usec("2196-02-29 22:59:59.5")}));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
  EXPECT_LT(zones.asked, 20);
}

}  // namespace
}  // namespace runwarden
