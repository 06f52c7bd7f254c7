#include "core/plugin_report.h"

#include <algorithm>
#include <optional>

#include "core/integer_text.h"

namespace runwarden {
namespace {

// Names no product: the engine shows it before the status word.
constexpr std::string_view kServiceLabel = "TASK";

std::string_view StatusWord(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok: return "OK";
    case CheckStatus::Bad: return "CRITICAL";
    case CheckStatus::Unknown: break;
  }
  return "UNKNOWN";
}

// Free text on the one line, where no "|" may start the performance data early.
std::string PluginText(std::string text) {
  text = OnOneLine(std::move(text));
  std::replace(text.begin(), text.end(), '|', '!');
  return text;
}

// label=value[unit][;warning;critical], the empty warning kept only before a critical.
std::string PerfDataValue(std::string_view label, std::int64_t value, std::string_view unit,
                          std::optional<std::int64_t> critical) {
  std::string text = PerfDataLabel(label) + "=" + DecimalText(value) + std::string(unit);
  if (critical) text += ";;" + DecimalText(*critical);
  return text;
}

// The values of one report, their labels led by prefix; appended to data.
void AddPerfData(const CheckReport& report, const std::string& prefix, std::string& data) {
  const auto add = [&data](std::string value) {
    if (!data.empty()) data += ' ';
    data += value;
  };
  if (report.AgeSeconds) {
    add(PerfDataValue(prefix + "age", *report.AgeSeconds, "s", report.WindowSeconds));
  }
  if (report.LastResult) add(PerfDataValue(prefix + "result", *report.LastResult, "", std::nullopt));
}

// A check of many tasks has the values of each task, labelled with its name.
std::string PerfData(const CheckReport& report) {
  std::string data;
  AddPerfData(report, "", data);
  for (const CheckReport& task : report.Tasks) AddPerfData(task, task.TaskName + " ", data);
  return data;
}

}  // namespace

std::string PluginLine(const CheckReport& report) {
  std::string line = std::string(kServiceLabel) + " " + std::string(StatusWord(report.Status));
  line += " - ";
  line += PluginText(report.TaskName.empty() ? report.Text : report.TaskName + ": " + report.Text);
  const std::string data = PerfData(report);
  if (!data.empty()) line += " | " + data;
  return line;
}

std::vector<std::string> PluginLines(const CheckReport& report) {
  std::vector<std::string> lines{PluginLine(report)};
  for (const CheckReport& task : report.Tasks) {
    lines.push_back(std::string(StatusWord(task.Status)) + " - " +
                    PluginText(task.TaskName + ": " + task.Text));
  }
  return lines;
}

int PluginExitStatus(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok: return 0;
    case CheckStatus::Bad: return 2;
    case CheckStatus::Unknown: break;
  }
  return 3;
}

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
