// The latest start of a unit's timers.
#include "core/tasks/timer_start.h"

namespace runwarden {

ScheduledStart LatestTimerStart(std::span<const TimerSchedule> /*timers*/,
                                std::int64_t /*nowUsec*/, std::int64_t /*graceUsec*/,
                                TimeZone& /*zones*/) {
  return {};
}

}  // namespace runwarden
