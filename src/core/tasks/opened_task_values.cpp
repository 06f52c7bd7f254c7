// The values read of the task that the scheduled-task helper has opened: its last run,
// exit code, run state, latest scheduled start and the last lines of its run.
#include "core/tasks/sched_tasks_helper.h"

namespace runwarden {
namespace {

// A 2.0 run time as the record that 1.0 gives: all zero when the task never ran (the
// status, or a zero date), else the DATE rounded to whole milliseconds and split, so that
// DateTimeFromSystemTime checks both alike. A DATE without a date (NaN, out of range)
// splits into zeros.
SystemTime RegisteredLastRun(IRegisteredTask& task) {
  DateTime date = 0;  // stays 0, and so never ran, when the call gives no value
  if (task.get_LastRunTime(&date) == sched_status::kHasNotRun || date == 0) return {};
  return SplitDateTime(date);
}

// LastTaskResult is the exit code of the last run, or a scheduler status. A run that is
// still going has not failed; a task that has not run gets the never-ran answer; any other
// value, a failure to start the program included, is judged as the exit code.
std::uint32_t JudgedTaskResult(IRegisteredTask& task) {
  std::int32_t result = 0;  // stays 0 when the call gives no value
  task.get_LastTaskResult(&result);
  if (result == sched_status::kRunning) return 0;
  // The all-zero record is refused with the very error of a 1.0 task that never ran.
  if (result == sched_status::kHasNotRun) static_cast<void>(DateTimeFromSystemTime(SystemTime{}));
  return static_cast<std::uint32_t>(result);
}

}  // namespace

DateTime TSchedTasksHelper::LastRunTime() {
  if (RegisteredTask) return DateTimeFromSystemTime(RegisteredLastRun(*RegisteredTask.Get()));
  if (!Task) return 0;
  SystemTime lastRun{};  // stays all zero, and so no date, when the call fills nothing
  Task.Get()->GetMostRecentRunTime(&lastRun);
  return DateTimeFromSystemTime(lastRun);
}

std::optional<std::int64_t> TSchedTasksHelper::LastRunUnixTime() {
  std::int64_t us = 0;
  if (RegisteredTask || !Task || Task.Get()->GetMostRecentRunUnixTime(&us) != 0) return std::nullopt;
  return us / 1'000'000 - (us % 1'000'000 < 0 ? 1 : 0);  // rounded down
}

TaskRunState TSchedTasksHelper::RunState(const TaskValueRequest& request) {
  if (RegisteredTask) return ReadTaskRunState(*RegisteredTask.Get(), request);
  if (Task) return ReadTaskRunState(*Task.Get(), request);
  return {};
}

std::optional<std::vector<std::string>> TSchedTasksHelper::LastLogLines(std::uint32_t count) {
  std::vector<std::string> lines;
  if (!Task || Task.Get()->GetLastLogLines(count, &lines) != 0) return std::nullopt;
  return lines;
}

TaskDue TSchedTasksHelper::LatestStart(DateTime listEnd, std::int64_t nowUsec,
                                       std::int64_t graceUsec, TimeZone& zones) {
  if (RegisteredTask) return LatestListedStart(*RegisteredTask.Get(), listEnd);
  if (!Task) return {};
  std::vector<TimerSchedule> timers;
  const HResult read = Task.Get()->GetTimerSchedules(&timers);
  if (read == kValueNotGiven) return LatestListedStart(*Task.Get(), listEnd);
  if (read != 0) return {TaskDue::Kind::NotListed, 0, read};
  return LatestTimerDue(timers, nowUsec, graceUsec, zones);
}

std::uint32_t TSchedTasksHelper::LastExitCode() {
  if (RegisteredTask) return JudgedTaskResult(*RegisteredTask.Get());
  std::uint32_t exitCode = 0;
  if (Task) Task.Get()->GetExitCode(&exitCode);
  return exitCode;
}

}  // namespace runwarden
