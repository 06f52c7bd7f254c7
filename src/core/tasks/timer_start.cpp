// The latest start of a unit's timers: the latest of each setting's last start before the
// timer's own limit.
#include "core/tasks/timer_start.h"

#include <algorithm>
#include <optional>

#include "core/calendar/calendar_elapse.h"
#include "core/calendar/calendar_event.h"

namespace runwarden {
namespace {

using Usec = std::int64_t;

Usec Signed(std::uint64_t usec) {
  return static_cast<Usec>(std::min<std::uint64_t>(usec, INT64_MAX / 4));
}

// The latest start at or before limit of a setting that repeats every interval after the
// timer's last elapse: that elapse, or the slots before it at the same pace when it is
// after the limit.
std::optional<Usec> LatestPacedStart(Usec lastTrigger, Usec interval, Usec limit) {
  if (lastTrigger <= 0) return std::nullopt;
  if (lastTrigger <= limit) return lastTrigger;
  if (interval <= 0) return std::nullopt;
  const Usec slots = (lastTrigger - limit + interval - 1) / interval;
  return lastTrigger - slots * interval;
}

// A monotonic setting's latest start at or before limit: its base plus its time once per
// boot, start or activation; after the started unit's last activation or deactivation
// (or the timer's last elapse, when later) again and again.
std::optional<Usec> LatestMonotonicStart(const TimerSchedule& timer, const MonotonicTimer& rule,
                                         Usec limit) {
  const Usec after = Signed(rule.usec);
  const Usec lastTrigger = Signed(timer.lastTriggerUsec);
  Usec base = 0;
  bool repeats = true;
  if (rule.base == "OnUnitActiveUSec") {
    base = std::max(Signed(timer.unitActivatedUsec), lastTrigger);
  } else if (rule.base == "OnUnitInactiveUSec") {
    base = std::max(Signed(timer.unitDeactivatedUsec), lastTrigger);
  } else {
    repeats = false;
    if (rule.base == "OnBootUSec") base = Signed(timer.bootUsec);
    if (rule.base == "OnStartupUSec") base = Signed(timer.managerStartUsec);
    if (rule.base == "OnActiveUSec") base = Signed(timer.activatedUsec);
  }
  if (base <= 0) return std::nullopt;
  if (base + after <= limit) return base + after;
  return repeats ? LatestPacedStart(lastTrigger, after, limit) : std::nullopt;
}

}  // namespace

ScheduledStart LatestTimerStart(std::span<const TimerSchedule> timers, std::int64_t nowUsec,
                                std::int64_t graceUsec, TimeZone& zones) {
  std::optional<Usec> latest;
  bool timeSchedule = false;
  const auto consider = [&](std::optional<Usec> start) {
    if (start && (!latest || *start > *latest)) latest = start;
  };
  for (const TimerSchedule& timer : timers) {
    const Usec limit =
        nowUsec - graceUsec - Signed(timer.randomizedDelayUsec) - Signed(timer.accuracyUsec);
    timeSchedule = timeSchedule || !timer.calendar.empty() || !timer.monotonic.empty();
    for (const std::string& text : timer.calendar) {
      const std::optional<CalendarEvent> event = ParseCalendarEvent(text);
      if (!event) return {ScheduledStart::Kind::kUnreadable, 0};
      const CalendarElapse elapse = PreviousElapse(*event, limit, timer.zone, zones);
      if (elapse.status == CalendarElapse::Status::kUnknownZone) {
        return {ScheduledStart::Kind::kUnreadable, 0};
      }
      if (elapse.status == CalendarElapse::Status::kFound) consider(elapse.unixUsec);
    }
    for (const MonotonicTimer& rule : timer.monotonic) {
      consider(LatestMonotonicStart(timer, rule, limit));
    }
  }
  if (latest) return {ScheduledStart::Kind::kStart, *latest};
  return {timeSchedule ? ScheduledStart::Kind::kNotYetDue : ScheduledStart::Kind::kNoTimeSchedule,
          0};
}

}  // namespace runwarden
