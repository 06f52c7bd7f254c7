// The fake tasks' GetRunTimes of Task Scheduler 1.0 and 2.0.
#include "fakes/fake_run_times.h"

#include <cstdio>

#include "core/calendar/date_time.h"
#include "fakes/fake_platform.h"

namespace runwarden::testing {
namespace {

// The starts of task's schedule in [begin, end), at most count; more: some were left.
std::vector<SystemTime> Listed(const FakeRunTimes& runTimes, const std::string& task,
                               const SystemTime& begin, const SystemTime& end,
                               std::uint32_t count, bool& more) {
  const auto own = runTimes.taskStarts.find(task);
  const std::vector<SystemTime>& starts =
      own == runTimes.taskStarts.end() ? runTimes.starts : own->second;
  const DateTime first = DateTimeFromSystemTime(begin);
  const DateTime last = DateTimeFromSystemTime(end);
  std::vector<SystemTime> listed;
  more = false;
  for (const SystemTime& start : starts) {
    const DateTime time = DateTimeFromSystemTime(start);
    if (time < first || time >= last) continue;
    if (listed.size() == count) {
      more = true;
      break;
    }
    listed.push_back(start);
  }
  return listed;
}

}  // namespace

std::string RecordedTime(const SystemTime& time) {
  char text[48];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u", time.wYear, time.wMonth,
                time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
  return text;
}

// Each answers as its platform does; see FakeRunTimes.
template <class Count>
HResult FakeListRunTimes(FakePlatform& fake, const std::string& object, const std::string& task,
                         const SystemTime* begin, const SystemTime* end, Count* count,
                         std::vector<SystemTime>* times, bool v1) {
  fake.calls.push_back("GetRunTimes(" + object + ", " + RecordedTime(*begin) + ", " +
                       RecordedTime(*end) + ", " + std::to_string(*count) + ")");
  if (fake.notGiven.count("GetRunTimes") != 0) return static_cast<HResult>(0x80004001);
  if (fake.runTimes.answer != 0) {
    *count = 0;
    return fake.runTimes.answer;
  }
  bool more = false;
  *times = Listed(fake.runTimes, task, *begin, *end, *count, more);
  const bool full = times->size() == *count;
  *count = static_cast<Count>(times->size());
  if (v1) return full ? 0 : kFalse;
  return more ? kFalse : 0;
}

HResult FakeTask::GetRunTimes(const SystemTime* begin, const SystemTime* end,
                              std::uint16_t* wanted, std::vector<SystemTime>* runTimes) {
  return FakeListRunTimes(fake_, name_, name_, begin, end, wanted, runTimes, true);
}

HResult FakeRegisteredTask::GetRunTimes(const SystemTime* start, const SystemTime* end,
                                        std::uint32_t* wanted, std::vector<SystemTime>* runTimes) {
  return FakeListRunTimes(fake_, name_, TaskName(), start, end, wanted, runTimes, false);
}

HResult FakeTask::GetTimerSchedules(std::vector<TimerSchedule>* schedules) {
  fake_.calls.push_back("GetTimerSchedules(" + name_ + ")");
  const auto timers = fake_.runTimes.taskTimers.find(name_);
  if (timers == fake_.runTimes.taskTimers.end()) return kValueNotGiven;
  *schedules = timers->second;
  return fake_.runTimes.timersAnswer;
}

bool FakePlatform::ZoneOffsetAt(std::string_view zone, std::int64_t, std::int32_t* offset) {
  if (!zone.empty() && zone != "UTC") return false;
  *offset = zone.empty() ? -standardBias * 60 : 0;
  return true;
}

}  // namespace runwarden::testing
