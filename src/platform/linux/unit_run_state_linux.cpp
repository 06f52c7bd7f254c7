// Running state and schedule of systemd units, judged from their properties.
#ifndef __linux__
#error "unit_run_state_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/unit_run_state_linux.h"

#include <time.h>

#include <algorithm>
#include <array>

namespace runwarden {
namespace {

bool IsSet(std::uint64_t microseconds) { return microseconds != 0 && microseconds != UINT64_MAX; }

std::uint64_t Microseconds(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1'000'000 +
         static_cast<std::uint64_t>(now.tv_nsec) / 1000;
}

// A point on the manager's monotonic clock as realtime, by the offset of the two clocks.
std::uint64_t RealtimeOfMonotonic(std::uint64_t monotonic, const ManagerClocks& clocks) {
  if (monotonic >= clocks.monotonic) return clocks.realtime + (monotonic - clocks.monotonic);
  const std::uint64_t before = clocks.monotonic - monotonic;
  return before < clocks.realtime ? clocks.realtime - before : 1;  // 0 would read as none
}

// The weight of a status that keeps a unit from running again: the smaller, the weightier.
int Weight(HResult status) {
  switch (status) {
    case sched_status::kDisabled: return 0;
    case sched_status::kNoMoreRuns: return 1;
    default: return 2;
  }
}

}  // namespace

bool MainProcessRuns(std::string_view activeState, std::uint64_t start, std::uint64_t exit) {
  constexpr std::array<std::string_view, 4> kStarted = {"activating", "active", "reloading",
                                                        "deactivating"};
  if (std::find(kStarted.begin(), kStarted.end(), activeState) == kStarted.end()) return false;
  return IsSet(start) && (!IsSet(exit) || start > exit);
}

ManagerClocks LocalClocks() {
  // Realtime read on both sides of the monotonic clock, so that the pair is as close to
  // one moment as two calls allow.
  const std::uint64_t before = Microseconds(CLOCK_REALTIME);
  const std::uint64_t monotonic = Microseconds(CLOCK_MONOTONIC);
  const std::uint64_t after = Microseconds(CLOCK_REALTIME);
  return {before + (after - before) / 2, monotonic};
}

UnitSchedule ScheduleOfTimer(const TimerAnswers& timer,
                             const std::optional<ManagerClocks>& clocks) {
  constexpr std::array<std::string_view, 3> kTurnedOff = {"disabled", "masked", "masked-runtime"};
  if (timer.activeState != "active" ||
      std::find(kTurnedOff.begin(), kTurnedOff.end(), timer.unitFileState) != kTurnedOff.end()) {
    return {sched_status::kDisabled, 0};
  }
  if (timer.subState == "running") return {sched_status::kReady, 0};
  const bool realtime = IsSet(timer.nextRealtime);
  const bool monotonic = IsSet(timer.nextMonotonic);
  if (!realtime && !monotonic) return {sched_status::kNoMoreRuns, 0};
  if (!monotonic) return {sched_status::kReady, timer.nextRealtime};
  if (!clocks) return {sched_status::kReady, 0};
  const std::uint64_t converted = RealtimeOfMonotonic(timer.nextMonotonic, *clocks);
  return {sched_status::kReady, realtime ? std::min(timer.nextRealtime, converted) : converted};
}

UnitSchedule ScheduleOfService(const std::vector<UnitSchedule>& timers) {
  std::optional<UnitSchedule> ready;
  HResult why = sched_status::kNotScheduled;
  for (const UnitSchedule& timer : timers) {
    if (timer.status != sched_status::kReady) {
      if (Weight(timer.status) < Weight(why)) why = timer.status;
    } else if (!ready) {
      ready = timer;
    } else {
      const bool known = ready->nextRun != 0 && timer.nextRun != 0;
      ready->nextRun = known ? std::min(ready->nextRun, timer.nextRun) : 0;
    }
  }
  return ready ? *ready : UnitSchedule{why, 0};
}

}  // namespace runwarden
