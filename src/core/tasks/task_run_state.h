#pragma once
// What the scheduler says of a task beyond its last run and exit code: whether it runs
// now, whether and when it runs again, and the runs it missed; read through Task
// Scheduler 1.0 or 2.0, each value only where the platform gives it.

#include <cstdint>
#include <optional>

#include "core/calendar/date_time.h"
#include "platform/com_runtime.h"

namespace runwarden {

// Why a task will run again by itself, or not.
enum class ScheduleState { Scheduled, Disabled, NoNextRun, NotScheduled };

struct TaskRunState {
  std::optional<bool> running;
  std::optional<ScheduleState> schedule;
  std::optional<DateTime> nextRun;  // the addressed computer's local time
  std::optional<std::int64_t> missedRuns;
};

// One call per value asked for, none otherwise: 1.0 GetStatus (running state, and the
// schedule state), GetFlags and GetNextRunTime (schedule state).
//  - running: the status is sched_status::kRunning.
//  - schedule: Disabled for the disabled flag or a status or next-run answer kDisabled,
//    else NoNextRun for kNoMoreRuns, else NotScheduled for kNotScheduled or
//    kNoValidTriggers, else Scheduled (kEventTrigger too); none when no call answered.
//  - nextRun: the record of a next-run answer 0 that is a valid date and time.
TaskRunState ReadTaskRunState(ITask& task, const TaskValueRequest& request);

// The same through 2.0: get_State (running state, and the schedule state), get_Enabled,
// get_NextRunTime and get_NumberOfMissedRuns (schedule state).
//  - running: the state is kTaskStateRunning.
//  - schedule: Disabled when the task is not enabled or its state is kTaskStateDisabled,
//    else Scheduled; none when neither call answered.
//  - nextRun: a DATE other than 0 that is a valid date and time, to the millisecond.
TaskRunState ReadTaskRunState(IRegisteredTask& task, const TaskValueRequest& request);

}  // namespace runwarden
