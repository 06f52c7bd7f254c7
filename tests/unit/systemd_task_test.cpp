// A unit's record, read by the core through the task object as a Windows task is read:
// the core's one judgement serves both.
#include "platform/linux/systemd_task_linux.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/tasks/task_run_state.h"

namespace runwarden {
namespace {

constexpr std::uint64_t kNext = 1'796'587'445'000'000;  // 2026-12-06 20:04:05 UTC

TEST(SystemdTask, TheCoreReadsTheRunningStateAndTheScheduleOfItsRecord) {
  const auto record = [](std::optional<bool> running, std::optional<UnitSchedule> schedule) {
    RunRecord r;
    r.lastStart = kNext - 60'000'000;
    r.running = running;
    r.schedule = schedule;
    return r;
  };
  const std::optional<DateTime> next = DateTimeFromSystemTime(LocalSystemTimeOfMicroseconds(kNext));
  const struct {
    RunRecord record;
    std::optional<bool> running;
    std::optional<ScheduleState> schedule;
    std::optional<DateTime> nextRun;
    std::string reason;
  } cases[] = {
      {record(std::nullopt, std::nullopt), std::nullopt, std::nullopt, std::nullopt,
       "nothing read: nothing judged"},
      {record(true, UnitSchedule{sched_status::kReady, kNext}), true, ScheduleState::Scheduled,
       next, "running, with a next run"},
      {record(true, UnitSchedule{sched_status::kDisabled, 0}), true, ScheduleState::Disabled,
       std::nullopt, "running and disabled: both told"},
      {record(false, UnitSchedule{sched_status::kNoMoreRuns, 0}), false, ScheduleState::NoNextRun,
       std::nullopt, "no next run"},
      {record(std::nullopt, UnitSchedule{sched_status::kNotScheduled, 0}), false,
       ScheduleState::NotScheduled, std::nullopt, "not scheduled; running not read: not running"},
      {record(false, UnitSchedule{sched_status::kReady, 0}), false, ScheduleState::Scheduled,
       std::nullopt, "runs again at a time not known"},
      {record(false, std::nullopt), false, ScheduleState::Scheduled, std::nullopt,
       "a schedule that could not be read fails nothing"},
  };
  for (const auto& c : cases) {
    ITask* task = NewSystemdTask(c.record, nullptr);
    const TaskRunState state = ReadTaskRunState(*task, {true, true});
    EXPECT_EQ(task->Release(), 0u);
    EXPECT_EQ(state.running, c.running) << c.reason;
    EXPECT_EQ(state.schedule, c.schedule) << c.reason;
    EXPECT_EQ(state.nextRun, c.nextRun) << c.reason;
    EXPECT_EQ(state.missedRuns, std::nullopt) << c.reason;
  }
}

}  // namespace
}  // namespace runwarden
