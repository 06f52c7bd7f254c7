#include "core/check/task_judge.h"

#include <cmath>

#include "core/calendar/integer_text.h"
#include "core/calendar/text_forms.h"

namespace runwarden {
namespace {

// Whole seconds from a last run to now, rounded up: for a minute window the age is at most
// the window's length exactly when the run lies inside it. Negative for a run after now.
std::int64_t AgeInSeconds(DateTime lastRun, DateTime now) {
  const double milliseconds = std::nearbyint((now - lastRun) * kMillisecondsPerDay);
  return static_cast<std::int64_t>(std::ceil(milliseconds / 1000));
}

// A local date and time in seconds since 1970, by the zone's rules for that date (not now
// minus the age, which is an hour off across a change of daylight saving); none when the
// platform cannot convert it.
std::optional<std::int64_t> UnixTime(DateTime local, TimeZone& timeZone) {
  const DateParts date = SplitDate(local);
  const TimeParts time = SplitTime(local);
  const SystemTime record{date.year, date.month, 0, date.day, time.hour, time.minute, time.second,
                          time.millisecond};
  std::int64_t unixTime = 0;
  if (!timeZone.LocalToUnixTime(record, &unixTime)) return std::nullopt;
  return unixTime;
}

}  // namespace

void TaskJudge::Judge(TSchedTasksHelper& helper, CheckReport& report) {
  const DateTime lastRun = helper.LastRunTime() + settings_.TimeShift;
  if (unixTimes_) {
    // The scheduler's own instant where it has one: a local time in the hour that a change
    // of daylight saving repeats names two instants.
    report.LastRunUnixTime = helper.LastRunUnixTime();
    if (!report.LastRunUnixTime) report.LastRunUnixTime = UnixTime(lastRun, platform_.timeZone);
  }
  const TimeWindow& frame = window_.Get();
  report.AgeSeconds = AgeInSeconds(lastRun, frame.Now);
  report.WindowSeconds = window_.Seconds();
  report.LastRunText = DateTimeText(lastRun, regional_, platform_.locale);
  report.Text = report.LastRunText;
  if (!IsInTimeWindow(frame, lastRun)) report.Status = CheckStatus::Bad;
  const std::uint32_t exitCode = helper.LastExitCode();  // read whatever the window said
  report.LastResult = exitCode;
  if (report.Status == CheckStatus::Ok && !settings_.IgnoreResult && exitCode != 0 &&
      !IsListedExitCode(rules_.AcceptedCodes, exitCode)) {
    report.Status = CheckStatus::Bad;
    // Zero-extended, so that codes with the top bit set never show a minus sign.
    report.Text += " Last Result : " + DecimalText(static_cast<std::int64_t>(exitCode));
  }
  if (rules_.Request().Any()) JudgeRunState(helper.RunState(rules_.Request()), frame, report);
  if (report.Status == CheckStatus::Bad && rules_.LastLogLines > 0) {
    report.LogLines = helper.LastLogLines(rules_.LastLogLines);
  }
  if (rules_.WarnFrame) {
    report.WarnWindowSeconds = warnWindow_.Seconds();
    report.Warning =
        report.Status == CheckStatus::Ok && !IsInTimeWindow(warnWindow_.Get(), lastRun);
  }
}

void TaskJudge::JudgeRunState(const TaskRunState& state, const TimeWindow& frame,
                              CheckReport& report) {
  // Negative when the next run is overdue: the age of a run, turned round.
  if (state.nextRun) {
    report.NextRunSeconds = -AgeInSeconds(*state.nextRun + settings_.TimeShift, frame.Now);
  }
  report.MissedRuns = state.missedRuns;
  if (report.Status != CheckStatus::Ok) return;
  if (const auto failure = RunStateFailure(rules_, state, *report.AgeSeconds)) {
    report.Status = CheckStatus::Bad;
    report.Text += *failure;
  }
}

}  // namespace runwarden
