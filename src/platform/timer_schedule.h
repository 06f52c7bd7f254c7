#pragma once
// The raw data of the timers that start a unit, as its manager holds them: the settings
// that give the timer's starts and the moments its monotonic settings count from.

#include <cstdint>
#include <string>
#include <vector>

namespace runwarden {

// One TimersMonotonic entry: its base ("OnBootUSec", "OnStartupUSec", "OnActiveUSec",
// "OnUnitActiveUSec", "OnUnitInactiveUSec") and the time after it, in microseconds.
struct MonotonicTimer {
  std::string base;
  std::uint64_t usec = 0;
  friend bool operator==(const MonotonicTimer&, const MonotonicTimer&) = default;
};

// One timer. The moments are microseconds since the Unix epoch on the manager's clock,
// 0 when they are not known or never happened.
struct TimerSchedule {
  std::string timer;                  // the timer unit's name
  std::vector<std::string> calendar;  // TimersCalendar's normalised expressions, each
                                      // perhaps ending in a zone name
  std::vector<MonotonicTimer> monotonic;  // TimersMonotonic
  std::uint64_t randomizedDelayUsec = 0, accuracyUsec = 0;
  std::uint64_t bootUsec = 0;          // the computer's boot (its monotonic clock's zero)
  std::uint64_t managerStartUsec = 0;  // the manager's start (OnStartupUSec counts from it)
  std::uint64_t activatedUsec = 0;     // the timer's last activation (InactiveExitTimestamp)
  std::uint64_t lastTriggerUsec = 0;   // the timer's last elapse (LastTriggerUSec)
  std::uint64_t unitActivatedUsec = 0;    // the started unit's last activation
  std::uint64_t unitDeactivatedUsec = 0;  // the started unit's last deactivation
  // The zone of the manager's computer, for expressions without one: a name of the tz
  // database, "" for the checking process's own zone.
  std::string zone;
  friend bool operator==(const TimerSchedule&, const TimerSchedule&) = default;
};

}  // namespace runwarden
