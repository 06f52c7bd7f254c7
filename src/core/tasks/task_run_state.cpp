#include "core/tasks/task_run_state.h"

#include "core/calendar/errors.h"

namespace runwarden {
namespace {

// A record that is no valid date and time (all zero: no next run) gives no value.
std::optional<DateTime> ValidDateTime(const SystemTime& record) {
  try {
    return DateTimeFromSystemTime(record);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

// The 1.0 statuses, of GetStatus and of GetNextRunTime alike, that say why a task will
// not run again; none for any other.
std::optional<ScheduleState> V1ScheduleStatus(HResult status) {
  switch (status) {
    case sched_status::kDisabled: return ScheduleState::Disabled;
    case sched_status::kNoMoreRuns: return ScheduleState::NoNextRun;
    case sched_status::kNotScheduled:
    case sched_status::kNoValidTriggers: return ScheduleState::NotScheduled;
    default: return std::nullopt;
  }
}

// The weightiest of two: disabled before no next run before not scheduled.
std::optional<ScheduleState> Weightier(std::optional<ScheduleState> a,
                                       std::optional<ScheduleState> b) {
  if (!a) return b;
  if (!b) return a;
  return static_cast<int>(*a) <= static_cast<int>(*b) ? a : b;
}

}  // namespace

TaskRunState ReadTaskRunState(ITask& task, const TaskValueRequest& request) {
  TaskRunState state;
  if (!request.Any()) return state;
  HResult status = 0;
  const bool statusRead = task.GetStatus(&status) == 0;
  if (statusRead) state.running = status == sched_status::kRunning;
  if (!request.scheduleState) return state;

  std::uint32_t flags = 0;
  const bool flagsRead = task.GetFlags(&flags) == 0;
  SystemTime nextRun{};
  const HResult next = task.GetNextRunTime(&nextRun);  // a status is an answer too
  if (next == 0) state.nextRun = ValidDateTime(nextRun);
  if (!statusRead && !flagsRead && next < 0) return state;

  std::optional<ScheduleState> why = Weightier(statusRead ? V1ScheduleStatus(status) : std::nullopt,
                                               next >= 0 ? V1ScheduleStatus(next) : std::nullopt);
  if (flagsRead && (flags & kTaskFlagDisabled) != 0) why = ScheduleState::Disabled;
  state.schedule = why.value_or(ScheduleState::Scheduled);
  return state;
}

TaskRunState ReadTaskRunState(IRegisteredTask& task, const TaskValueRequest& request) {
  TaskRunState state;
  if (!request.Any()) return state;
  std::int32_t taskState = 0;
  const bool stateRead = task.get_State(&taskState) == 0;
  if (stateRead) state.running = taskState == kTaskStateRunning;
  if (!request.scheduleState) return state;

  bool enabled = true;
  const bool enabledRead = task.get_Enabled(&enabled) == 0;
  double nextRun = 0;
  if (task.get_NextRunTime(&nextRun) == 0 && nextRun != 0) {
    state.nextRun = ValidDateTime(SplitDateTime(nextRun));
  }
  std::int32_t missed = 0;
  if (task.get_NumberOfMissedRuns(&missed) == 0) state.missedRuns = missed;
  if (!stateRead && !enabledRead) return state;
  const bool disabled = (enabledRead && !enabled) || (stateRead && taskState == kTaskStateDisabled);
  state.schedule = disabled ? ScheduleState::Disabled : ScheduleState::Scheduled;
  return state;
}

}  // namespace runwarden
