#pragma once
// The judgement of one opened task: its last run against the time frame, its exit code, its
// running time and schedule, and the warn frame.

#include <cstdint>
#include <optional>

#include "core/calendar/regional_settings.h"
#include "core/check/check_rules.h"
#include "core/check/check_settings.h"
#include "core/check/time_frames.h"
#include "core/report/check_report.h"
#include "core/tasks/sched_tasks_helper.h"
#include "platform/platform.h"

namespace runwarden {

// A time window, read from the clock once, after the first last run was read.
class CheckWindow {
 public:
  CheckWindow(std::int32_t minutes, TimeFrameKind kind, Clock& clock)
      : minutes_(minutes), kind_(kind), clock_(clock) {}
  const TimeWindow& Get() {
    if (!window_) window_ = ComputeTimeWindow(minutes_, kind_, clock_);
    return *window_;
  }
  // The window's length, for a minute count.
  std::optional<std::int64_t> Seconds() const {
    if (minutes_ <= 0) return std::nullopt;
    return std::int64_t{minutes_} * 60;
  }
  // A window that each task's schedule starts.
  bool Scheduled() const { return minutes_ <= 0 && kind_ == TimeFrameKind::Schedule; }

 private:
  std::int32_t minutes_;
  TimeFrameKind kind_;
  Clock& clock_;
  std::optional<TimeWindow> window_;
};

// Judges opened tasks, one after the other, by one set of settings, rules and windows.
class TaskJudge {
 public:
  // unixTimes: the form shows the last run as a Unix time too.
  TaskJudge(const CheckSettings& settings, const CheckRules& rules, TimeFrameKind kind,
            Platform& platform, const RegionalSettings& regional, bool unixTimes)
      : settings_(settings),
        rules_(rules),
        unixTimes_(unixTimes),
        platform_(platform),
        regional_(regional),
        window_(settings.TimeFrameMinutes, kind, platform.clock),
        warnWindow_(rules.WarnFrameMinutes, rules.WarnFrameKind, platform.clock) {}

  // The opened task's status and text go into the report with what it measured, as soon
  // as that is known; the failures of reading its last run are raised. The outcomes in
  // order, each only for a task that none before it failed: the window (the last run's
  // text), the exit code (" Last Result : "), the running time and the schedule state
  // (RunStateFailure); then the warn frame sets Warning. With a schedule frame the task's
  // latest scheduled start S is read first: a task without a time schedule, or whose
  // starts cannot be listed, is Unknown; a last run before S, or none, Bad with
  // " Missed : " and S; a task not yet due Ok with " Not yet due".
  void Judge(TSchedTasksHelper& helper, CheckReport& report);

 private:
  void JudgeRunState(const TaskRunState& state, const TimeWindow& frame, CheckReport& report);
  // S, shifted as the last run is, with its values in the report; raises the Unknown
  // outcomes.
  TaskDue ReadDue(TSchedTasksHelper& helper, DateTime now, CheckReport& report);
  // A task that never ran, judged by its schedule; error: the never-ran error.
  void JudgeNeverRan(const TaskDue& due, const Exception& error, TSchedTasksHelper& helper,
                     CheckReport& report);
  // The frame of window, started by S where it is a schedule frame.
  static TimeWindow Started(CheckWindow& window, const std::optional<TaskDue>& due);

  const CheckSettings& settings_;
  const CheckRules& rules_;
  bool unixTimes_;
  Platform& platform_;
  const RegionalSettings& regional_;
  CheckWindow window_;
  CheckWindow warnWindow_;
};

}  // namespace runwarden
