#include "core/tasks/scheduled_start.h"

#include <optional>

#include "core/calendar/errors.h"
#include "core/tasks/timer_start.h"

namespace runwarden {
namespace {

constexpr double kOneMillisecond = 1.0 / kMillisecondsPerDay;

std::optional<DateTime> ValidStart(const SystemTime& record) {
  try {
    return DateTimeFromSystemTime(record);
  } catch (const EConvertError&) {
    return std::nullopt;
  }
}

bool IsNoTimeSchedule(HResult answer) {
  return answer == sched_status::kNoValidTriggers || answer == sched_status::kEventTrigger;
}

}  // namespace

TaskDue LatestListedStart(const RunTimeList& list, std::uint32_t pageSize, DateTime end) {
  const SystemTime endRecord = SplitDateTime(end);
  for (const double days : kDueRangeDays) {
    std::optional<DateTime> latest;
    DateTime begin = end - days;
    for (int page = 0; page < kDuePagesPerRange; ++page) {
      std::uint32_t count = pageSize;
      std::vector<SystemTime> times;
      const HResult answer = list(SplitDateTime(begin), endRecord, count, times);
      if (answer < 0) return {TaskDue::Kind::NotListed, 0, answer};
      if (IsNoTimeSchedule(answer)) return {TaskDue::Kind::NoTimeSchedule, 0, 0};
      for (const SystemTime& record : times) {
        const std::optional<DateTime> start = ValidStart(record);
        if (start && *start >= begin && *start < end && (!latest || *start > *latest)) {
          latest = start;
        }
      }
      // A list that came short, or one that gave nothing later, is the whole range.
      if (count < pageSize || times.size() < pageSize || !latest || *latest < begin) break;
      begin = *latest + kOneMillisecond;
    }
    if (latest) return {TaskDue::Kind::Start, *latest, 0};
  }
  return {};
}

TaskDue LatestTimerDue(std::span<const TimerSchedule> timers, std::int64_t nowUsec,
                       std::int64_t graceUsec, TimeZone& zones) {
  const ScheduledStart start = LatestTimerStart(timers, nowUsec, graceUsec, zones);
  switch (start.kind) {
    case ScheduledStart::Kind::kNotYetDue: return {};
    case ScheduledStart::Kind::kNoTimeSchedule: return {TaskDue::Kind::NoTimeSchedule, 0, 0};
    case ScheduledStart::Kind::kUnreadable: return {TaskDue::Kind::Unreadable, 0, 0};
    case ScheduledStart::Kind::kStart: break;
  }
  // Whole milliseconds, as a unit's last run is given.
  const std::int64_t milliseconds = start.unixUsec / 1000 - (start.unixUsec % 1000 < 0 ? 1 : 0);
  std::int32_t offset = 0;  // seconds east of UTC
  if (!zones.ZoneOffsetAt("", milliseconds / 1000, &offset)) {
    return {TaskDue::Kind::Unreadable, 0, 0};
  }
  constexpr double kUnixEpoch = 25569;  // 1 January 1970 as a DateTime
  const double local = static_cast<double>(milliseconds + std::int64_t{offset} * 1000);
  return {TaskDue::Kind::Start, kUnixEpoch + local / kMillisecondsPerDay, 0};
}

TaskDue LatestListedStart(ITask& task, DateTime end) {
  const auto list = [&task](const SystemTime& begin, const SystemTime& rangeEnd,
                            std::uint32_t& count, std::vector<SystemTime>& times) {
    auto wanted = static_cast<std::uint16_t>(count);
    const HResult answer = task.GetRunTimes(&begin, &rangeEnd, &wanted, &times);
    count = wanted;
    return answer;
  };
  return LatestListedStart(list, kMaxRunTimes, end);
}

TaskDue LatestListedStart(IRegisteredTask& task, DateTime end) {
  const auto list = [&task](const SystemTime& begin, const SystemTime& rangeEnd,
                            std::uint32_t& count, std::vector<SystemTime>& times) {
    return task.GetRunTimes(&begin, &rangeEnd, &count, &times);
  };
  return LatestListedStart(list, kMaxRunTimes, end);
}

}  // namespace runwarden
