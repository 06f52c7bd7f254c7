#pragma once
// The report of one check: its outcome, the facts behind it and the numbers it measured,
// apart from the judgement that made them, so that each output form writes the same
// report its own way. Here: the forms by name, and the default form, the "ScriptRes:" line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/check_settings.h"

namespace runwarden {

// The forms of a report, as -format: names them.
enum class ReportFormat { ScriptRes, Nagios };

// Sets format to the form that text (lower case) names and returns true; an empty text is
// the default form. Returns false and leaves format unchanged for any other text.
bool FindReportFormat(std::string_view text, ReportFormat& format);

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
  // A check of many tasks: the report of each, by name; TaskName is then the pattern.
  std::vector<CheckReport> Tasks{};
};

// A task or host name with a line break in it must not split the one line that the caller
// reads: each CR and LF becomes a blank.
std::string OnOneLine(std::string text);

// "ScriptRes:Ok:", "ScriptRes:Bad:" or "ScriptRes:Unknown:" followed by the text; the exit
// status of this form is the check's status.
std::string ScriptResLine(const CheckReport& report);

}  // namespace runwarden
