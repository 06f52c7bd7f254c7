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

// The widest a run's own line is shown, in bytes, before it is cut.
constexpr std::size_t kLogLineWidth = 200;

// A line a run wrote, under its task in the long output: indented, control characters as
// blanks, "|" as the summary has it, cut at the width on a character's boundary.
std::string LogLineText(std::string_view line) {
  std::string text;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line[i]);
    const bool startsCharacter = (byte & 0xC0) != 0x80;
    if (startsCharacter && text.size() >= kLogLineWidth) return "  " + text + "...";
    text += byte < 0x20 || byte == 0x7F ? ' ' : byte == '|' ? '!' : line[i];
  }
  return "  " + text;
}

void AddLogLines(const CheckReport& report, std::vector<std::string>& lines) {
  if (!report.LogLines) return;
  for (const std::string& line : *report.LogLines) lines.push_back(LogLineText(line));
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
}

// "TASK OK - Backup: 12/7/26 2:00:00 am"
std::string Summary(const CheckReport& report) {
  return std::string(kServiceLabel) + " " + std::string(StatusWord(report)) + " - " +
         PluginText(report.TaskName.empty() ? report.Text : report.TaskName + ": " + report.Text);
}

// "CRITICAL - Backup: 12/7/26 2:00:00 am" for each task of a pattern, each followed by the
// lines its last run wrote when they were asked for; those of a single task come first.
std::vector<std::string> LongOutput(const CheckReport& report) {
  std::vector<std::string> lines;
  AddLogLines(report, lines);
  for (const CheckReport& task : report.Tasks) {
    lines.push_back(std::string(StatusWord(task)) + " - " +
                    PluginText(task.TaskName + ": " + task.Text));
    AddLogLines(task, lines);
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
