#pragma once
// The starts that the fake's task schedules give, which GetRunTimes of Task Scheduler 1.0
// and 2.0 list by range.

#include <map>
#include <string>
#include <vector>

#include "platform/com_runtime.h"
#include "platform/timer_schedule.h"

namespace runwarden::testing {

// Each call is recorded as "GetRunTimes(OBJECT, BEGIN, END, COUNT)", the times as
// YYYY-MM-DD HH:MM:SS.mmm. The starts of [BEGIN, END) are given earliest first, at most
// COUNT; 1.0 answers 0 when COUNT came and kFalse when fewer, 2.0 0 when all came and
// kFalse when more were left.
struct FakeRunTimes {
  std::vector<SystemTime> starts;  // of every task without starts of its own
  std::map<std::string, std::vector<SystemTime>> taskStarts;  // by task name
  HResult answer = 0;  // any other: this answer, without a start (a status or a failure)
  // The timers that start a 1.0 task, by its name (Linux), recorded as
  // "GetTimerSchedules(NAME)"; a task not named here answers kValueNotGiven.
  std::map<std::string, std::vector<TimerSchedule>> taskTimers;
  HResult timersAnswer = 0;
};

std::string RecordedTime(const SystemTime& time);

}  // namespace runwarden::testing
