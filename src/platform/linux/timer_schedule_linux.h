#pragma once
// The timer data of systemd units, read from their manager only when a check asks for it:
// a timer's calendar and monotonic settings, the moments its monotonic settings count
// from, and for a manager on another computer the zone that computer runs in.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/com_runtime.h"
#include "platform/linux/systemd_bus_linux.h"
#include "platform/timer_schedule.h"

namespace runwarden {

// One per connection, shared by the task objects read over it. It holds a reference on
// the bus, so that a task that outlives its scheduler object fails its calls rather than
// reaching freed memory.
class TimerScheduleSource {
 public:
  explicit TimerScheduleSource(const ManagerBus& manager);
  ~TimerScheduleSource();
  TimerScheduleSource(const TimerScheduleSource&) = delete;
  TimerScheduleSource& operator=(const TimerScheduleSource&) = delete;

  // A timer's own schedule; a service's those of the timers in its TriggeredBy; none for
  // another unit. 0, or the failed call's result code; kFailure for a remote computer
  // whose zone cannot be read when a calendar expression without a zone needs it.
  HResult Read(const std::string& unitName, std::vector<TimerSchedule>& schedules);

 private:
  // The manager's own moments and zone, read with the first unit's data and kept.
  struct ManagerFacts {
    std::uint64_t bootUsec = 0, startUsec = 0;
    std::optional<std::string> zone;  // none: a remote zone that could not be read
  };
  struct FactAnswers;
  FactAnswers AskFacts(PropertyBatch& batch) const;
  HResult TakeFacts(const FactAnswers& answers);

  ManagerBus manager_;
  std::optional<ManagerFacts> facts_;
};

}  // namespace runwarden
