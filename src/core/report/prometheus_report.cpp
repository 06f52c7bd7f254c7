#include "core/report/prometheus_report.h"

#include <cstdint>
#include <optional>

#include "core/calendar/integer_text.h"
#include "core/report/utf8_text.h"

namespace runwarden {
namespace {

struct Metric {
  std::string_view name;
  std::string_view help;
};

constexpr Metric kCheckStatus{"runwarden_check_status",
                              "Outcome of the check: 1 for its status, 0 for the others."};
constexpr Metric kCheckTasks{"runwarden_check_tasks", "Number of tasks the check looked at."};
constexpr Metric kCheckTimestamp{"runwarden_check_timestamp_seconds",
                                 "When the check ran, in seconds since 1970."};
constexpr Metric kTaskStatus{"runwarden_task_status",
                             "Outcome of the task: 1 for its status, 0 for the others."};
constexpr Metric kTaskLastRun{"runwarden_task_last_run_timestamp_seconds",
                              "Start of the task's last run, in seconds since 1970."};
constexpr Metric kTaskExitCode{"runwarden_task_last_exit_code",
                               "Exit code of the task's last run, unsigned."};

// Writes the lines of one metric: its help and type once, then its series.
class Exposition {
 public:
  explicit Exposition(const CheckFacts& facts)
      : commonLabels_("host=\"" + PrometheusLabelValue(facts.Host) + "\",timeframe=\"" +
                      PrometheusLabelValue(facts.TimeFrame) + "\"") {}

  void Begin(const Metric& metric) {
    metric_ = &metric;
    lines_.push_back("# HELP " + std::string(metric.name) + " " + std::string(metric.help));
    lines_.push_back("# TYPE " + std::string(metric.name) + " gauge");
  }

  // One series of the current metric; extra: labels after the common ones.
  void Series(std::string_view task, std::int64_t value, std::string_view extra = {}) {
    lines_.push_back(std::string(metric_->name) + "{task=\"" + PrometheusLabelValue(task) + "\"," +
                     commonLabels_ + std::string(extra) + "} " + DecimalText(value));
  }

  // A series per outcome, 1 for verdict.
  void StatusSeries(std::string_view task, Verdict verdict, bool warnFrame) {
    for (const Verdict each : {Verdict::Ok, Verdict::Warning, Verdict::Bad, Verdict::Unknown}) {
      if (each == Verdict::Warning && !warnFrame) continue;
      Series(task, each == verdict ? 1 : 0,
             ",status=\"" + std::string(VerdictName(each)) + "\"");
    }
  }

  // A comment line, which collectors pass over and a person reads: one line of UTF-8.
  void Comment(std::string_view text) {
    std::string line = "# ";
    for (const char c : ValidUtf8(text)) line += c == '\n' || c == '\r' ? ' ' : c;
    lines_.push_back(std::move(line));
  }

  std::vector<std::string> Lines() && { return std::move(lines_); }

 private:
  std::string commonLabels_;
  const Metric* metric_ = nullptr;
  std::vector<std::string> lines_;
};

// The tasks' values of one metric, where any task has one.
template <class Value>
void TaskValues(Exposition& exposition, const Metric& metric,
                const std::vector<const CheckReport*>& tasks, Value value) {
  bool begun = false;
  for (const CheckReport* task : tasks) {
    const std::optional<std::int64_t> number = value(*task);
    if (!number) continue;
    if (!begun) exposition.Begin(metric);
    begun = true;
    exposition.Series(task->TaskName, *number);
  }
}

}  // namespace

std::string PrometheusLabelValue(std::string_view text) {
  std::string escaped;
  for (const char c : ValidUtf8(text)) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '"': escaped += "\\\""; break;
      case '\n': escaped += "\\n"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::vector<std::string> PrometheusLines(const CheckReport& report, const CheckFacts& facts) {
  const std::vector<const CheckReport*> tasks = CheckedTasks(report);
  Exposition exposition(facts);
  // Why the check could not give its verdict (options, the output file, the time limit).
  if (report.Status == CheckStatus::Unknown && !report.Text.empty()) {
    exposition.Comment("unknown: " + report.Text);
  }
  exposition.Begin(kCheckStatus);
  exposition.StatusSeries(facts.TaskName, VerdictOf(report, facts.WarnFrame), facts.WarnFrame);
  exposition.Begin(kCheckTasks);
  exposition.Series(facts.TaskName, static_cast<std::int64_t>(tasks.size()));
  if (facts.CheckedAtUnixTime) {
    exposition.Begin(kCheckTimestamp);
    exposition.Series(facts.TaskName, *facts.CheckedAtUnixTime);
  }
  if (!tasks.empty()) {
    exposition.Begin(kTaskStatus);
    for (const CheckReport* task : tasks) {
      exposition.StatusSeries(task->TaskName, VerdictOf(*task, facts.WarnFrame), facts.WarnFrame);
    }
  }
  TaskValues(exposition, kTaskLastRun, tasks,
             [](const CheckReport& task) { return task.LastRunUnixTime; });
  TaskValues(exposition, kTaskExitCode, tasks, [](const CheckReport& task) {
    return task.LastResult ? std::optional<std::int64_t>(*task.LastResult) : std::nullopt;
  });
  return std::move(exposition).Lines();
}

}  // namespace runwarden
