#pragma once
// The result of one check: its outcome, the facts behind it and the numbers it measured,
// for the check as a whole and for each task of a pattern, apart from the judgement that
// made them, so that each output form writes the same result its own way.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/report/check_status.h"

namespace runwarden {

struct CheckReport {
  CheckStatus Status = CheckStatus::Ok;
  // The task the check looked at; empty when the options stopped it before.
  std::string TaskName;
  // The text after the default form's prefix: the last run (with the last result when that
  // failed), or the reason.
  std::string Text;
  // Each number exists only once the check has measured it.
  std::optional<std::int64_t> AgeSeconds;     // age of the last run at the time of the check
  std::optional<std::int64_t> WindowSeconds;  // the window's length, for a minute count
  std::optional<std::uint32_t> LastResult;    // the last run's exit code
  std::optional<std::int64_t> WarnWindowSeconds{};  // the warn frame's length, for a minute count
  std::optional<std::int64_t> LastRunUnixTime{};  // start of the last run, seconds since 1970
  std::optional<std::int64_t> NextRunSeconds{};   // until the next scheduled run (-checkstate)
  std::optional<std::int64_t> MissedRuns{};       // runs the scheduler missed (-checkstate)
  // The latest start that the task's schedule gave (a schedule frame): seconds since it,
  // and it in seconds since 1970.
  std::optional<std::int64_t> DueSeconds{};
  std::optional<std::int64_t> DueUnixTime{};
  // The last run in the regional form, once it was read.
  std::string LastRunText{};
  // Ok, but the last run lies outside the warn frame (-warnframe:); the forms that know a
  // warning level show it as one. For a pattern: no task is Bad or Unknown, one is this.
  bool Warning = false;
  // A pattern's task as the scheduler names it, in UTF-16, for the forms that are UTF-8;
  // empty where TaskName comes from the command line.
  std::u16string WideTaskName{};
  // A check of one task that reached the scheduler and asked it for the task: the report
  // is that task's too.
  bool TaskAsked = false;
  // The last lines that a Bad task's last run wrote, oldest first, in UTF-8 (-lastlog:);
  // none where they were not asked for or the scheduler keeps none.
  std::optional<std::vector<std::string>> LogLines{};
  // A check of many tasks: the report of each, by name; TaskName is then the pattern.
  std::vector<CheckReport> Tasks{};
  // Text is the summary of Tasks (SummaryText), which names them: a form in another
  // encoding makes it again of the names in that encoding.
  bool TextIsSummary = false;
};

// What the forms show of the check itself besides its report.
struct CheckFacts {
  std::string TaskName;   // the task or pattern as given, also when the options stopped it
  std::string Host;       // the computer as given, empty for the local one
  std::string TimeFrame;  // the time frame as given
  bool WarnFrame = false;  // a warn frame was given: the forms can give a warning
  std::optional<std::int64_t> CheckedAtUnixTime;  // when the check ran
};

// The outcomes of the forms that know a warning level, numbered as the plugins' exit
// statuses.
enum class Verdict { Ok = 0, Warning = 1, Bad = 2, Unknown = 3 };

// The report's outcome; Warning only where a warn frame was given.
Verdict VerdictOf(const CheckReport& report, bool warnFrame);

// "ok", "warning", "bad", "unknown": the names the machine-read forms give an outcome.
std::string_view VerdictName(Verdict verdict);

// The tasks the check looked at: a pattern's, or the one task once the scheduler was asked
// for it; none when the check stopped before.
std::vector<const CheckReport*> CheckedTasks(const CheckReport& report);

// A task or host name with a line break in it must not split the one line that the caller
// reads: each CR and LF becomes a blank.
std::string OnOneLine(std::string text);

}  // namespace runwarden
