#include "core/report/json_report.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "core/calendar/integer_text.h"
#include "core/report/plugin_report.h"
#include "core/report/utf8_text.h"

namespace runwarden {
namespace {

// The members of one object, in the order they are added.
class JsonObject {
 public:
  JsonObject& Text(std::string_view name, std::string_view value) {
    return Raw(name, JsonString(value));
  }
  JsonObject& Number(std::string_view name, std::int64_t value) {
    return Raw(name, DecimalText(value));
  }
  template <class Value>
  JsonObject& Number(std::string_view name, const std::optional<Value>& value) {
    return value ? Number(name, static_cast<std::int64_t>(*value)) : *this;
  }
  JsonObject& Raw(std::string_view name, std::string_view json) {
    text_ += (text_.empty() ? "{" : ",") + JsonString(name) + ":" + std::string(json);
    return *this;
  }
  std::string Close() const { return text_.empty() ? "{}" : text_ + "}"; }

 private:
  std::string text_;
};

std::string JsonArray(const std::vector<std::string>& items) {
  std::string array = "[";
  for (const std::string& item : items) array += (array.size() > 1 ? "," : "") + item;
  return array + "]";
}

std::string TaskObject(const CheckReport& task, bool warnFrame) {
  JsonObject object;
  object.Text("task", task.TaskName)
      .Text("status", VerdictName(VerdictOf(task, warnFrame)))
      .Number("last_run", task.LastRunUnixTime)
      .Text("last_run_text", task.LastRunText)
      .Number("exit_code", task.LastResult)
      .Text("text", task.Text);
  if (task.LogLines) {
    std::vector<std::string> lines;
    for (const std::string& line : *task.LogLines) lines.push_back(JsonString(line));
    object.Raw("log", JsonArray(lines));
  }
  return object.Close();
}

}  // namespace

std::string JsonString(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string json = "\"";
  for (const char c : ValidUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"': json += "\\\""; break;
      case '\\': json += "\\\\"; break;
      case '\n': json += "\\n"; break;
      case '\r': json += "\\r"; break;
      case '\t': json += "\\t"; break;
      default:
        if (byte < 0x20) {
          json += "\\u00";
          json += kHex[byte >> 4];
          json += kHex[byte & 0xF];
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

std::string JsonDocument(const CheckReport& report, const CheckFacts& facts) {
  const Verdict verdict = VerdictOf(report, facts.WarnFrame);
  std::vector<std::string> values;
  for (const std::string& value : PerfDataValues(report)) values.push_back(JsonString(value));
  std::vector<std::string> tasks;
  for (const CheckReport* task : CheckedTasks(report)) {
    tasks.push_back(TaskObject(*task, facts.WarnFrame));
  }
  return JsonObject()
      .Text("status", VerdictName(verdict))
      .Number("exit_status", static_cast<int>(verdict))
      .Text("plugin_output", PluginOutput(report))
      .Raw("performance_data", JsonArray(values))
      .Number("checked_at", facts.CheckedAtUnixTime)
      .Text("task", facts.TaskName)
      .Text("computer", facts.Host)
      .Text("timeframe", facts.TimeFrame)
      .Raw("tasks", JsonArray(tasks))
      .Close();
}

}  // namespace runwarden
