#include "platform/linux/unit_run_state_linux.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace runwarden {
namespace {

constexpr std::uint64_t kUnset = UINT64_MAX;
constexpr std::uint64_t kStart = 1'796'587'445'000'000;  // 2026-12-06 20:04:05 UTC

TEST(MainProcessRuns, StartedAfterItsLastExitInAStartedState) {
  const struct {
    std::string activeState;
    std::uint64_t start, exit;
    bool runs;
    std::string reason;
  } cases[] = {
      {"activating", kStart, 0, true, "a one-shot while its command runs"},
      {"active", kStart, kUnset, true, "a daemon; infinity is unset too"},
      {"reloading", kStart, 0, true, "its main process goes on through a reload"},
      {"deactivating", kStart, 0, true, "being stopped, not gone yet"},
      {"deactivating", kStart, kStart + 1, false, "stopping after its main process exited"},
      {"active", kStart, kStart + 5, false, "RemainAfterExit=: exited after it started"},
      {"activating", 0, 0, false, "in ExecStartPre=: no main process yet"},
      {"inactive", kStart, 0, false, "not started, whatever the times say"},
      {"failed", kStart, 0, false, "failed"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MainProcessRuns(c.activeState, c.start, c.exit), c.runs) << c.reason;
  }
}

TEST(ScheduleOfTimer, StateFileStateAndNextElapse) {
  constexpr std::uint64_t kNext = kStart + 3'600'000'000;
  const ManagerClocks clocks{kStart, 50'000'000};  // 50 s after boot
  const std::optional<ManagerClocks> local = clocks, remote;
  const auto waiting = [](std::uint64_t realtime, std::uint64_t monotonic) {
    return TimerAnswers{"active", "waiting", "static", realtime, monotonic};
  };
  const struct {
    TimerAnswers timer;
    std::optional<ManagerClocks> clocks;
    UnitSchedule expected;
    std::string reason;
  } cases[] = {
      {waiting(kNext, 0), local, {sched_status::kReady, kNext}, "calendar: the realtime elapse"},
      {waiting(kNext, kUnset), remote, {sched_status::kReady, kNext}, "infinity is unset"},
      {waiting(0, 60'000'000), local, {sched_status::kReady, kStart + 10'000'000},
       "monotonic: by the offset of the manager's clocks"},
      {waiting(0, 40'000'000), local, {sched_status::kReady, kStart - 10'000'000},
       "monotonic, overdue"},
      {waiting(0, 60'000'000), remote, {sched_status::kReady, 0},
       "monotonic on another computer: runs again, when is not known"},
      {waiting(kNext, 60'000'000), local, {sched_status::kReady, kStart + 10'000'000},
       "both: the earlier, monotonic"},
      {waiting(kStart + 1, 60'000'000), local, {sched_status::kReady, kStart + 1},
       "both: the earlier, realtime"},
      {waiting(kNext, 60'000'000), remote, {sched_status::kReady, 0},
       "both, on another computer: the monotonic one may be earlier"},
      {{"active", "elapsed", "static", 0, kUnset}, local, {sched_status::kNoMoreRuns, 0},
       "a one-shot timer that fired"},
      {{"active", "running", "static", 0, kUnset}, local, {sched_status::kReady, 0},
       "its unit runs: the next elapse is set when it has finished"},
      {{"inactive", "dead", "static", 0, kUnset}, local, {sched_status::kDisabled, 0},
       "stopped, before no next elapse"},
      {{"failed", "failed", "enabled", kNext, 0}, local, {sched_status::kDisabled, 0}, "failed"},
      {{"active", "waiting", "disabled", kNext, 0}, local, {sched_status::kDisabled, 0},
       "unit file disabled, though it elapses"},
      {{"active", "waiting", "masked-runtime", kNext, 0}, local, {sched_status::kDisabled, 0},
       "masked"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScheduleOfTimer(c.timer, c.clocks), c.expected) << c.reason;
  }
  for (const std::string fileState : {"enabled", "enabled-runtime", "linked", "linked-runtime",
                                      "generated", "transient", "indirect", ""}) {
    const TimerAnswers timer{"active", "waiting", fileState, kNext, 0};
    EXPECT_EQ(ScheduleOfTimer(timer, local), (UnitSchedule{sched_status::kReady, kNext}))
        << "file state " << fileState;
  }
}

TEST(ScheduleOfService, ByTheTimersThatTriggerIt) {
  const UnitSchedule disabled{sched_status::kDisabled, 0}, noMore{sched_status::kNoMoreRuns, 0};
  const UnitSchedule soon{sched_status::kReady, kStart}, later{sched_status::kReady, kStart + 9};
  const UnitSchedule sometime{sched_status::kReady, 0};
  const struct {
    std::vector<UnitSchedule> timers;
    UnitSchedule expected;
    std::string reason;
  } cases[] = {
      {{}, {sched_status::kNotScheduled, 0}, "no timer triggers it"},
      {{later, soon}, soon, "the earliest next run"},
      {{soon, sometime}, sometime, "one next run not known: the earliest is not known"},
      {{disabled, later}, later, "another timer still runs it"},
      {{noMore, disabled}, disabled, "none runs it: the weightiest reason"},
      {{noMore}, noMore, "one timer that fired for the last time"},
  };
  for (const auto& c : cases) EXPECT_EQ(ScheduleOfService(c.timers), c.expected) << c.reason;
}

}  // namespace
}  // namespace runwarden
