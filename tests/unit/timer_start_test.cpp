// The latest start of a unit's timers: each monotonic setting, calendars with the grace and
// the timers' delays, several timers, and the cases without a start.
#include <gtest/gtest.h>

#include <vector>

#include "core/tasks/timer_start.h"
#include "fakes/fake_zone_rules.h"

namespace runwarden {
namespace {

using Kind = ScheduledStart::Kind;
constexpr std::int64_t kMinute = 60'000'000;
constexpr std::int64_t kHour = 60 * kMinute;
// 2024-05-01 12:00:00 UTC, a Wednesday.
constexpr std::int64_t kNow = 1'714'564'800'000'000;

TimerSchedule Monotonic(const char* base, std::int64_t after) {
  TimerSchedule timer;
  timer.timer = "t.timer";
  timer.monotonic.push_back({base, static_cast<std::uint64_t>(after)});
  timer.bootUsec = kNow - 10 * kHour;
  timer.managerStartUsec = kNow - 9 * kHour;
  timer.activatedUsec = kNow - 8 * kHour;
  timer.unitActivatedUsec = kNow - 3 * kHour;
  timer.unitDeactivatedUsec = kNow - 2 * kHour;
  return timer;
}

TimerSchedule Calendar(std::vector<std::string> expressions) {
  TimerSchedule timer;
  timer.timer = "t.timer";
  timer.calendar = std::move(expressions);
  return timer;
}

TEST(LatestTimerStart, EachMonotonicSetting) {
  const struct {
    TimerSchedule timer;
    ScheduledStart expected;
    const char* reason;
  } cases[] = {
      {Monotonic("OnBootUSec", kHour), {Kind::kStart, kNow - 9 * kHour}, "after the boot"},
      {Monotonic("OnBootUSec", 11 * kHour), {Kind::kNotYetDue, 0}, "once, still ahead"},
      {Monotonic("OnStartupUSec", kHour), {Kind::kStart, kNow - 8 * kHour}, "after the start"},
      {Monotonic("OnActiveUSec", kHour), {Kind::kStart, kNow - 7 * kHour}, "after activation"},
      {Monotonic("OnUnitActiveUSec", kHour), {Kind::kStart, kNow - 2 * kHour}, "missed slot"},
      {Monotonic("OnUnitInactiveUSec", kHour), {Kind::kStart, kNow - kHour}, "missed slot"},
      {Monotonic("OnUnitActiveUSec", 4 * kHour), {Kind::kNotYetDue, 0}, "never elapsed"},
      {Monotonic("OnSomethingNew", kHour), {Kind::kNotYetDue, 0}, "a base not known"},
  };
  testing::FakeZoneRules zones;
  for (const auto& c : cases) {
    EXPECT_EQ(LatestTimerStart({&c.timer, 1}, kNow, 5 * kMinute, zones), c.expected) << c.reason;
  }
}

TEST(LatestTimerStart, RepeatingSettingsKeepTheirPaceAfterTheLastElapse) {
  testing::FakeZoneRules zones;
  TimerSchedule timer = Monotonic("OnUnitActiveUSec", kHour);
  timer.unitActivatedUsec = kNow - 20 * kMinute;
  timer.lastTriggerUsec = kNow - 20 * kMinute;
  EXPECT_EQ(LatestTimerStart({&timer, 1}, kNow, 5 * kMinute, zones),
            (ScheduledStart{Kind::kStart, kNow - 20 * kMinute}));
  // Elapsed inside the grace: the slot a whole interval before it.
  timer.lastTriggerUsec = timer.unitActivatedUsec = kNow - 2 * kMinute;
  EXPECT_EQ(LatestTimerStart({&timer, 1}, kNow, 5 * kMinute, zones),
            (ScheduledStart{Kind::kStart, kNow - 62 * kMinute}));
  timer.monotonic[0].usec = 0;
  EXPECT_EQ(LatestTimerStart({&timer, 1}, kNow, 5 * kMinute, zones).kind, Kind::kNotYetDue);
}

TEST(LatestTimerStart, CalendarsWithGraceAndDelays) {
  testing::FakeZoneRules zones;
  TimerSchedule daily = Calendar({"*-*-* 11:57:00"});
  EXPECT_EQ(LatestTimerStart({&daily, 1}, kNow, 2 * kMinute, zones),
            (ScheduledStart{Kind::kStart, kNow - 3 * kMinute}));
  EXPECT_EQ(LatestTimerStart({&daily, 1}, kNow, 5 * kMinute, zones),
            (ScheduledStart{Kind::kStart, kNow - 3 * kMinute - 24 * kHour}));
  daily.randomizedDelayUsec = kMinute;
  daily.accuracyUsec = 2 * kMinute + 1;
  EXPECT_EQ(LatestTimerStart({&daily, 1}, kNow, 0, zones),
            (ScheduledStart{Kind::kStart, kNow - 3 * kMinute - 24 * kHour}));
  // The latest of several timers and settings, each against its own delays.
  const std::vector<TimerSchedule> timers = {
      daily, Calendar({"2099-*-* 00:00:00", "*-*-* 11:00:00 UTC"}),
      Monotonic("OnActiveUSec", kHour)};
  EXPECT_EQ(LatestTimerStart(timers, kNow, 0, zones),
            (ScheduledStart{Kind::kStart, kNow - kHour}));
}

TEST(LatestTimerStart, WithoutAStart) {
  testing::FakeZoneRules zones;
  TimerSchedule zoned = Calendar({"*-*-* 11:00:00"});
  zoned.zone = "Nowhere/Zone";
  const struct {
    std::vector<TimerSchedule> timers;
    Kind expected;
    const char* reason;
  } cases[] = {
      {{}, Kind::kNoTimeSchedule, "no timer"},
      {{TimerSchedule{}}, Kind::kNoTimeSchedule, "a timer without settings"},
      {{Calendar({"2099-*-* 00:00:00"})}, Kind::kNotYetDue, "first start ahead"},
      {{Calendar({"every day"})}, Kind::kUnreadable, "an expression not understood"},
      {{zoned}, Kind::kUnreadable, "a zone not known"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LatestTimerStart(c.timers, kNow, 0, zones).kind, c.expected) << c.reason;
  }
}

}  // namespace
}  // namespace runwarden
