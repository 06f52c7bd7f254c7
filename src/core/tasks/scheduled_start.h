#pragma once
// The latest start that a task's time-based schedule gave before a moment: as the
// scheduler lists its run times (Task Scheduler 1.0 and 2.0 GetRunTimes), or from the
// timers that start it (Linux).

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/calendar/date_time.h"
#include "platform/com_runtime.h"
#include "platform/time_zone.h"
#include "platform/timer_schedule.h"

namespace runwarden {

struct TaskDue {
  enum class Kind {
    Start,           // start holds the latest start
    NotYetDue,       // the schedule gave no start yet
    NoTimeSchedule,  // only triggers without a time (boot, logon, event, idle)
    NotListed,       // the scheduler could not list the starts: failure says why
    Unreadable,      // a timer's calendar expression or zone cannot be read
  };
  Kind kind = Kind::NotYetDue;
  DateTime start = 0;   // the addressed computer's local time (Linux: the checking one's)
  HResult failure = 0;  // NotListed: the scheduler's answer
};

// One GetRunTimes call: the starts from begin (included) to end (excluded), earliest first;
// count asks for that many and receives how many came.
using RunTimeList = std::function<HResult(const SystemTime& begin, const SystemTime& end,
                                          std::uint32_t& count, std::vector<SystemTime>& times)>;

// The ranges asked for, each ending at end, in days: widened step by step until one holds
// a start, so that a frequent task costs one call and a yearly one a few.
inline constexpr double kDueRangeDays[] = {1, 8, 32, 400};

// A range's list that came full may hold more starts after its last one: the range is
// asked again from just after that start, at most this many times.
inline constexpr int kDuePagesPerRange = 16;

// The latest start before end from list, each call asking for pageSize starts. A status
// of no valid triggers or only event triggers is NoTimeSchedule; a failure (a negative
// answer) NotListed; no start within the widest range NotYetDue (a disabled 1.0 task,
// whose list is empty, too). Starts outside the range asked for are not taken.
TaskDue LatestListedStart(const RunTimeList& list, std::uint32_t pageSize, DateTime end);

// The latest start of LatestTimerStart in the checking computer's local time, as a unit's
// last run is given; Unreadable where that time has no local form.
TaskDue LatestTimerDue(std::span<const TimerSchedule> timers, std::int64_t nowUsec,
                       std::int64_t graceUsec, TimeZone& zones);

// The same through a 1.0 task (kMaxRunTimes at a time) and a 2.0 task.
TaskDue LatestListedStart(ITask& task, DateTime end);
TaskDue LatestListedStart(IRegisteredTask& task, DateTime end);

}  // namespace runwarden
