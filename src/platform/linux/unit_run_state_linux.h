#pragma once
// What a systemd unit's properties say beyond its last run: whether a service's main
// process runs now, and whether and when a timer, or a service through its timers, runs
// again, in the statuses of Task Scheduler 1.0.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_runtime.h"

namespace runwarden {

// Whether a service's main process runs: the service is activating (a one-shot while its
// command runs), active, reloading or deactivating, and its main process started after it
// last exited (the manager clears the exit time when it starts a main process again).
// start, exit: ExecMainStartTimestamp and ExecMainExitTimestamp, 0 or UINT64_MAX unset.
bool MainProcessRuns(std::string_view activeState, std::uint64_t start, std::uint64_t exit);

// The properties of a timer that tell whether and when it fires again. The next elapses
// are 0 or UINT64_MAX when unset; the monotonic one is on the manager's CLOCK_MONOTONIC.
struct TimerAnswers {
  std::string activeState;    // ActiveState
  std::string subState;       // SubState: waiting, running (its unit runs), elapsed, ...
  std::string unitFileState;  // UnitFileState
  std::uint64_t nextRealtime = 0;   // NextElapseUSecRealtime, microseconds since the epoch
  std::uint64_t nextMonotonic = 0;  // NextElapseUSecMonotonic
};

// The manager's realtime and monotonic clocks read at one moment, in microseconds.
struct ManagerClocks {
  std::uint64_t realtime = 0;
  std::uint64_t monotonic = 0;
};

// The clocks of this computer, which are those of a manager reached without ssh.
ManagerClocks LocalClocks();

// Whether a unit runs again by itself: sched_status::kReady, or kDisabled, kNoMoreRuns or
// kNotScheduled; and for kReady its next run, microseconds since the epoch, 0 when it is
// not known.
struct UnitSchedule {
  HResult status = sched_status::kReady;
  std::uint64_t nextRun = 0;
  friend bool operator==(const UnitSchedule&, const UnitSchedule&) = default;
};

// A timer's schedule:
//  - kDisabled when it is not active (stopped, failed) or its unit file is disabled or
//    masked (masked-runtime too); every other file state (static, enabled, linked,
//    generated, transient, the runtime forms, none) lets it run;
//  - kReady without a next run while its unit runs (the timer sets its next elapse
//    again when the unit has finished);
//  - kNoMoreRuns when it has no next elapse (a one-shot timer that fired, elapsed);
//  - else kReady: the next elapse, the earlier of the two where both are set. A monotonic
//    one is turned into realtime with clocks, the manager's clocks read at one moment;
//    without them (a manager on another computer, whose monotonic clock cannot be read
//    here) the next run is not known.
UnitSchedule ScheduleOfTimer(const TimerAnswers& timer, const std::optional<ManagerClocks>& clocks);

// A service's schedule from those of the timers that trigger it: kNotScheduled for none;
// kReady when any of them runs again, with the earliest next run (not known when that of
// one of them is not known); otherwise the weightiest of their statuses, kDisabled before
// kNoMoreRuns.
UnitSchedule ScheduleOfService(const std::vector<UnitSchedule>& timers);

}  // namespace runwarden
