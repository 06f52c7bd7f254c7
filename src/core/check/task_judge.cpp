#include "core/check/task_judge.h"

#include <cmath>
#include <limits>

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

constexpr std::string_view kMissed = " Missed : ";
constexpr std::string_view kNotYetDue = "Not yet due";

}  // namespace

TaskDue TaskJudge::ReadDue(TSchedTasksHelper& helper, DateTime now, CheckReport& report) {
  // The range ends at now minus the grace on the addressed computer's clock.
  const std::int64_t graceSeconds = std::int64_t{rules_.GraceMinutes} * 60;
  TaskDue due = helper.LatestStart(
      now - settings_.TimeShift - static_cast<double>(graceSeconds) / 86400.0,
      platform_.clock.GetUnixTime() * 1'000'000, graceSeconds * 1'000'000, platform_.timeZone);
  switch (due.kind) {
    case TaskDue::Kind::NoTimeSchedule: throw Exception("The task has no time schedule");
    case TaskDue::Kind::Unreadable:
      throw Exception("Cannot read the time schedule of task \"" + report.TaskName + "\"");
    case TaskDue::Kind::NotListed:
      throw Exception("Cannot list run times of task \"" + report.TaskName + "\"; Error Code: " +
                      HexText(static_cast<std::uint32_t>(due.failure), 8));
    case TaskDue::Kind::NotYetDue: return due;
    case TaskDue::Kind::Start: break;
  }
  due.start += settings_.TimeShift;
  report.DueSeconds = AgeInSeconds(due.start, now);
  if (unixTimes_) report.DueUnixTime = UnixTime(due.start, platform_.timeZone);
  return due;
}

TimeWindow TaskJudge::Started(CheckWindow& window, const std::optional<TaskDue>& due) {
  TimeWindow frame = window.Get();
  if (!window.Scheduled()) return frame;
  // Not yet due: no run is too early.
  frame.WindowStart = due->kind == TaskDue::Kind::Start ? due->start
                                                        : std::numeric_limits<double>::lowest();
  return frame;
}

void TaskJudge::JudgeNeverRan(const TaskDue& due, const Exception& error,
                              TSchedTasksHelper& helper, CheckReport& report) {
  if (due.kind == TaskDue::Kind::Start) {
    report.Status = CheckStatus::Bad;
    report.Text = error.Message() + std::string(kMissed) +
                  DateTimeText(due.start, regional_, platform_.locale);
    return;
  }
  report.Text = kNotYetDue;
  if (rules_.Request().Any()) {
    JudgeRunState(helper.RunState(rules_.Request()), window_.Get(), report);
  }
}

void TaskJudge::Judge(TSchedTasksHelper& helper, CheckReport& report) {
  std::optional<TaskDue> due;
  if (window_.Scheduled() || (rules_.WarnFrame && warnWindow_.Scheduled())) {
    due = ReadDue(helper, window_.Get().Now, report);
  }
  DateTime lastRun = 0;
  try {
    lastRun = helper.LastRunTime() + settings_.TimeShift;
  } catch (const EConvertError& error) {
    if (!window_.Scheduled()) throw;
    JudgeNeverRan(*due, error, helper, report);
    return;
  }
  if (unixTimes_) {
    // The scheduler's own instant where it has one: a local time in the hour that a change
    // of daylight saving repeats names two instants.
    report.LastRunUnixTime = helper.LastRunUnixTime();
    if (!report.LastRunUnixTime) report.LastRunUnixTime = UnixTime(lastRun, platform_.timeZone);
  }
  const TimeWindow frame = Started(window_, due);
  report.AgeSeconds = AgeInSeconds(lastRun, frame.Now);
  report.WindowSeconds = window_.Scheduled() ? report.DueSeconds : window_.Seconds();
  report.LastRunText = DateTimeText(lastRun, regional_, platform_.locale);
  report.Text = report.LastRunText;
  if (!IsInTimeWindow(frame, lastRun)) {
    report.Status = CheckStatus::Bad;
    if (window_.Scheduled()) {
      report.Text += std::string(kMissed) + DateTimeText(due->start, regional_, platform_.locale);
    }
  } else if (window_.Scheduled() && due->kind == TaskDue::Kind::NotYetDue) {
    report.Text += " " + std::string(kNotYetDue);
  }
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
    report.WarnWindowSeconds =
        warnWindow_.Scheduled() ? report.DueSeconds : warnWindow_.Seconds();
    report.Warning =
        report.Status == CheckStatus::Ok && !IsInTimeWindow(Started(warnWindow_, due), lastRun);
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
  // A task that never ran has no age; it runs for no time that could be too long.
  if (const auto failure = RunStateFailure(rules_, state, report.AgeSeconds.value_or(0))) {
    report.Status = CheckStatus::Bad;
    report.Text += *failure;
  }
}

}  // namespace runwarden
