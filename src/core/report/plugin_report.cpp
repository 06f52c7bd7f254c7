#include "core/report/plugin_report.h"

#include <algorithm>
#include <optional>

#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

// Names no product: the engine shows it before the status word.
constexpr std::string_view kServiceLabel = "TASK";

std::string_view StatusWord(const CheckReport& report) {
  switch (VerdictOf(report, true)) {
    case Verdict::Ok: return "OK";
    case Verdict::Warning: return "WARNING";
    case Verdict::Bad: return "CRITICAL";
    case Verdict::Unknown: break;
  }
  return "UNKNOWN";
}

// Free text on the one line, where no "|" may start the performance data early.
std::string PluginText(std::string text) {
  text = OnOneLine(std::move(text));
  std::replace(text.begin(), text.end(), '|', '!');
  return text;
}

// label=value[unit][;warning[;critical]], an empty warning kept only before a critical.
std::string PerfDataValue(std::string_view label, std::int64_t value, std::string_view unit,
                          std::optional<std::int64_t> warning = std::nullopt,
                          std::optional<std::int64_t> critical = std::nullopt) {
  std::string text = PerfDataLabel(label) + "=" + DecimalText(value) + std::string(unit);
  if (warning || critical) text += ";" + (warning ? DecimalText(*warning) : "");
  if (critical) text += ";" + DecimalText(*critical);
  return text;
}

// The values of one report, their labels led by prefix; appended to values.
void AddPerfData(const CheckReport& report, const std::string& prefix,
                 std::vector<std::string>& values) {
  if (report.AgeSeconds) {
    values.push_back(PerfDataValue(prefix + "age", *report.AgeSeconds, "s",
                                   report.WarnWindowSeconds, report.WindowSeconds));
  }
  if (report.LastResult) values.push_back(PerfDataValue(prefix + "result", *report.LastResult, ""));
  if (report.NextRunSeconds) {
    values.push_back(PerfDataValue(prefix + "next", *report.NextRunSeconds, "s"));
  }
  if (report.MissedRuns) values.push_back(PerfDataValue(prefix + "missed", *report.MissedRuns, ""));
  if (report.DueSeconds) values.push_back(PerfDataValue(prefix + "due", *report.DueSeconds, "s"));
}

// "TASK OK - Backup: 12/7/26 2:00:00 am"
std::string Summary(const CheckReport& report) {
  return std::string(kServiceLabel) + " " + std::string(StatusWord(report)) + " - " +
         PluginText(report.TaskName.empty() ? report.Text : report.TaskName + ": " + report.Text);
}

// "CRITICAL - Backup: 12/7/26 2:00:00 am" for each task of a pattern.
std::vector<std::string> LongOutput(const CheckReport& report) {
  std::vector<std::string> lines;
  for (const CheckReport& task : report.Tasks) {
    lines.push_back(std::string(StatusWord(task)) + " - " +
                    PluginText(task.TaskName + ": " + task.Text));
  }
  return lines;
}

}  // namespace

std::vector<std::string> PerfDataValues(const CheckReport& report) {
  std::vector<std::string> values;
  AddPerfData(report, "", values);
  for (const CheckReport& task : report.Tasks) AddPerfData(task, task.TaskName + " ", values);
  return values;
}

std::string PluginLine(const CheckReport& report) {
  std::string line = Summary(report);
  const std::vector<std::string> values = PerfDataValues(report);
  for (std::size_t i = 0; i < values.size(); ++i) line += (i == 0 ? " | " : " ") + values[i];
  return line;
}

std::vector<std::string> PluginLines(const CheckReport& report) {
  std::vector<std::string> lines{PluginLine(report)};
  for (std::string& line : LongOutput(report)) lines.push_back(std::move(line));
  return lines;
}

std::string PluginOutput(const CheckReport& report) {
  std::string output = Summary(report);
  for (const std::string& line : LongOutput(report)) output += "\n" + line;
  return output;
}

int PluginExitStatus(CheckStatus status) {
  CheckReport report;
  report.Status = status;
  return PluginExitStatus(report);
}

int PluginExitStatus(const CheckReport& report) { return static_cast<int>(VerdictOf(report, true)); }

std::string PerfDataLabel(std::string_view name) {
  std::string label = PluginText(std::string(name));
  if (label.find_first_of(" ='") == std::string::npos) return label;
  std::string quoted = "'";
  for (const char c : label) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

}  // namespace runwarden
