#pragma once
// The latest start that a unit's timers gave: the moment a run was due, from the timers'
// calendar and monotonic settings.

#include <cstdint>
#include <span>

#include "platform/time_zone.h"
#include "platform/timer_schedule.h"

namespace runwarden {

struct ScheduledStart {
  enum class Kind {
    kStart,           // unixUsec holds the latest start
    kNotYetDue,       // a time schedule whose first start is still ahead
    kNoTimeSchedule,  // no timer has a calendar or monotonic setting
    kUnreadable,      // a calendar expression or its zone cannot be read
  };
  Kind kind = Kind::kNoTimeSchedule;
  std::int64_t unixUsec = 0;  // with kStart: microseconds since the Unix epoch
  friend bool operator==(const ScheduledStart&, const ScheduledStart&) = default;
};

// The latest start, at or before nowUsec - graceUsec - (each timer's RandomizedDelayUSec +
// AccuracyUSec), that the timers' calendar and monotonic settings gave. zones: the rules of
// the named zones and of the local one.
ScheduledStart LatestTimerStart(std::span<const TimerSchedule> timers, std::int64_t nowUsec,
                                std::int64_t graceUsec, TimeZone& zones);

}  // namespace runwarden
