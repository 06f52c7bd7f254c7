#pragma once
// A systemd unit as a Task Scheduler 1.0 task: the record read of it, given out in the
// answers of ITask, so that the core judges it as it judges a Windows task.

#include <memory>
#include <string>

#include "platform/com_runtime.h"
#include "platform/linux/journal_linux.h"
#include "platform/linux/timer_schedule_linux.h"
#include "platform/linux/unit_run_record_linux.h"

namespace runwarden {

// A task object with one count. Its last run and exit code are those of the record (the
// status kTaskHasNotRun for a unit that never ran); GetStatus gives kRunning for a running
// one, else the schedule's status, else kReady; GetNextRunTime the next run in local time,
// or the schedule's status with an all-zero record; GetMostRecentRunUnixTime the record's
// last start as the manager gave it. A value the record does not hold is not given
// (kValueNotGiven), a next run that is not known neither. GetLastLogLines gives the lines
// of the service's last invocation in the journal, when there is one; GetTimerSchedules
// reads the unit's timers from schedules when it is called.
ITask* NewSystemdTask(const RunRecord& record, std::string unitName,
                      std::shared_ptr<UnitJournal> journal,
                      std::shared_ptr<TimerScheduleSource> schedules);

}  // namespace runwarden
