// The forms as writers over the same records: every outcome, a task that never ran or was
// not found, a check stopped before any task, a pattern of mixed outcomes, and names that
// each form must escape its own way.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/report/json_report.h"
#include "core/report/plugin_report.h"
#include "core/report/prometheus_report.h"
#include "core/report/report_forms.h"
#include "core/report/utf8_text.h"

namespace runwarden {
namespace {

using Lines = std::vector<std::string>;

constexpr std::int64_t kTwoAm = 1'796'608'800;  // 2026-12-07 02:00 UTC
constexpr std::int64_t kNoon = 1'796'644'800;

CheckReport Made(CheckStatus status, std::string name, std::string text) {
  CheckReport report;
  report.Status = status;
  report.TaskName = std::move(name);
  report.Text = std::move(text);
  return report;
}

// A task that ran at 2:00 and was judged Ok in a minute window of a day.
CheckReport Ran(std::string name, CheckStatus status = CheckStatus::Ok) {
  CheckReport task{status, std::move(name), "12/7/26 2:00:00 am", 36000, 86400, 0};
  task.LastRunText = task.Text;
  task.LastRunUnixTime = kTwoAm;
  return task;
}

CheckReport OneTask(CheckReport task) {
  task.TaskAsked = true;
  return task;
}

CheckReport Warned(CheckReport task, std::optional<std::int64_t> window) {
  task.Warning = true;
  task.AgeSeconds = 4000;
  task.WarnWindowSeconds = 3600;
  task.WindowSeconds = window;
  return task;
}

CheckReport NeverRan(std::string name) {
  return Made(CheckStatus::Unknown, std::move(name), "Invalid argument to date encode");
}

CheckReport NotFound(std::string name) {
  return Made(CheckStatus::Bad, name, "Cannot find task \"" + name + "\"; Error Code: 80070002");
}

// A pattern of every outcome, with names that need escaping in each form.
CheckReport MixedPattern() {
  CheckReport failed = Ran("q\"uote\\back|bar\nline", CheckStatus::Bad);
  failed.LastResult = 0xFFFFFFFF;
  failed.Text += " Last Result : 4294967295";
  CheckReport next = Ran("a b");
  next.NextRunSeconds = -30;
  next.MissedRuns = 2;
  CheckReport report = Made(CheckStatus::Bad, "*", "3 tasks matched, 2 failed");
  report.Tasks = {next, failed, NeverRan("caf\xC3\xA9")};
  return report;
}

CheckFacts Facts(std::string task, bool warnFrame = false) {
  return {std::move(task), "", "today", warnFrame, kNoon};
}

TEST(PluginForm, WarningsThresholdsAndSchedulerValues) {
  CheckReport pattern = Made(CheckStatus::Ok, "*", "2 tasks matched, 0 failed");
  pattern.Warning = true;
  pattern.Tasks = {Ran("A"), Warned(Ran("B"), std::nullopt)};
  const struct {
    CheckReport report;
    Lines lines;
    int exitStatus;
    const char* reason;
  } cases[] = {
      {Warned(Ran("Backup"), 86400),
       {"TASK WARNING - Backup: 12/7/26 2:00:00 am | age=4000s;3600;86400 result=0"}, 1,
       "outside the warn frame: both thresholds"},
      {Warned(Ran("Backup"), std::nullopt),
       {"TASK WARNING - Backup: 12/7/26 2:00:00 am | age=4000s;3600 result=0"}, 1,
       "a keyword window has no critical threshold"},
      {Warned(Ran("Backup", CheckStatus::Bad), 86400),
       {"TASK CRITICAL - Backup: 12/7/26 2:00:00 am | age=4000s;3600;86400 result=0"}, 2,
       "Bad stands over a warning"},
      {MixedPattern(),
       {"TASK CRITICAL - *: 3 tasks matched, 2 failed | 'a b age'=36000s;;86400 'a b result'=0 "
        "'a b next'=-30s 'a b missed'=2 'q\"uote\\back!bar line age'=36000s;;86400 "
        "'q\"uote\\back!bar line result'=4294967295",
        "OK - a b: 12/7/26 2:00:00 am",
        "CRITICAL - q\"uote\\back!bar line: 12/7/26 2:00:00 am Last Result : 4294967295",
        "UNKNOWN - caf\xC3\xA9: Invalid argument to date encode"},
       2, "next and missed labelled per task; a negative next run"},
      {pattern,
       {"TASK WARNING - *: 2 tasks matched, 0 failed | 'A age'=36000s;;86400 'A result'=0 "
        "'B age'=4000s;3600 'B result'=0",
        "OK - A: 12/7/26 2:00:00 am", "WARNING - B: 12/7/26 2:00:00 am"},
       1, "a pattern's warning, and the task's in its long output"},
  };
  for (const auto& c : cases) {
    const ReportOutput output = RenderReport(ReportFormat::Nagios, c.report, Facts("x"));
    EXPECT_EQ(output.lines, c.lines) << c.reason;
    EXPECT_EQ(output.exitStatus, c.exitStatus) << c.reason;
  }
}

TEST(PrometheusForm, WholeExpositionOfOneTask) {
  const Lines expected = {
      "# HELP runwarden_check_status Outcome of the check: 1 for its status, 0 for the others.",
      "# TYPE runwarden_check_status gauge",
      "runwarden_check_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"ok\"} 0",
      "runwarden_check_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"warning\"} 1",
      "runwarden_check_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"bad\"} 0",
      "runwarden_check_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"unknown\"} 0",
      "# HELP runwarden_check_tasks Number of tasks the check looked at.",
      "# TYPE runwarden_check_tasks gauge",
      "runwarden_check_tasks{task=\"Backup\",host=\"\",timeframe=\"today\"} 1",
      "# HELP runwarden_check_timestamp_seconds When the check ran, in seconds since 1970.",
      "# TYPE runwarden_check_timestamp_seconds gauge",
      "runwarden_check_timestamp_seconds{task=\"Backup\",host=\"\",timeframe=\"today\"} 1796644800",
      "# HELP runwarden_task_status Outcome of the task: 1 for its status, 0 for the others.",
      "# TYPE runwarden_task_status gauge",
      "runwarden_task_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"ok\"} 0",
      "runwarden_task_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"warning\"} 1",
      "runwarden_task_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"bad\"} 0",
      "runwarden_task_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"unknown\"} 0",
      "# HELP runwarden_task_last_run_timestamp_seconds Start of the task's last run, in seconds "
      "since 1970.",
      "# TYPE runwarden_task_last_run_timestamp_seconds gauge",
      "runwarden_task_last_run_timestamp_seconds{task=\"Backup\",host=\"\",timeframe=\"today\"} "
      "1796608800",
      "# HELP runwarden_task_last_exit_code Exit code of the task's last run, unsigned.",
      "# TYPE runwarden_task_last_exit_code gauge",
      "runwarden_task_last_exit_code{task=\"Backup\",host=\"\",timeframe=\"today\"} 0",
  };
  const ReportOutput output = RenderReport(
      ReportFormat::Prometheus, OneTask(Warned(Ran("Backup"), 86400)), Facts("Backup", true));
  EXPECT_EQ(output.lines, expected);
  EXPECT_EQ(output.exitStatus, 0) << "a warning has the default form's status, Ok";
  EXPECT_FALSE(output.platformLineEnds);
}

// The series of a metric, each as "LABELS VALUE" after the metric's name.
Lines Series(const Lines& lines, const std::string& metric) {
  Lines series;
  for (const std::string& line : lines) {
    if (line.rfind(metric + "{", 0) == 0) series.push_back(line.substr(metric.size()));
  }
  return series;
}

TEST(PrometheusForm, SeriesOfEachKindOfCheck) {
  const std::string labels = ",host=\"\",timeframe=\"today\"";
  const struct {
    CheckReport report;
    std::string task;
    Lines taskStatus, lastRuns, exitCodes;
    int exitStatus;
    const char* reason;
  } cases[] = {
      {OneTask(NeverRan("Backup")), "Backup",
       {"{task=\"Backup\"" + labels + ",status=\"ok\"} 0",
        "{task=\"Backup\"" + labels + ",status=\"bad\"} 0",
        "{task=\"Backup\"" + labels + ",status=\"unknown\"} 1"},
       {}, {}, 2, "never ran: no time, no exit code; no warning without a warn frame"},
      {OneTask(NotFound("Backup")), "Backup",
       {"{task=\"Backup\"" + labels + ",status=\"ok\"} 0",
        "{task=\"Backup\"" + labels + ",status=\"bad\"} 1",
        "{task=\"Backup\"" + labels + ",status=\"unknown\"} 0"},
       {}, {}, 1, "not found: Bad"},
      {Made(CheckStatus::Unknown, "", "TimeFrame is required"), "Backup", {}, {}, {}, 2,
       "stopped before any task: the check's series alone"},
      {MixedPattern(), "*",
       {"{task=\"a b\"" + labels + ",status=\"ok\"} 1",
        "{task=\"a b\"" + labels + ",status=\"bad\"} 0",
        "{task=\"a b\"" + labels + ",status=\"unknown\"} 0",
        "{task=\"q\\\"uote\\\\back|bar\\nline\"" + labels + ",status=\"ok\"} 0",
        "{task=\"q\\\"uote\\\\back|bar\\nline\"" + labels + ",status=\"bad\"} 1",
        "{task=\"q\\\"uote\\\\back|bar\\nline\"" + labels + ",status=\"unknown\"} 0",
        "{task=\"caf\xC3\xA9\"" + labels + ",status=\"ok\"} 0",
        "{task=\"caf\xC3\xA9\"" + labels + ",status=\"bad\"} 0",
        "{task=\"caf\xC3\xA9\"" + labels + ",status=\"unknown\"} 1"},
       {"{task=\"a b\"" + labels + "} 1796608800",
        "{task=\"q\\\"uote\\\\back|bar\\nline\"" + labels + "} 1796608800"},
       {"{task=\"a b\"" + labels + "} 0",
        "{task=\"q\\\"uote\\\\back|bar\\nline\"" + labels + "} 4294967295"},
       1, "a pattern: a series per task; quote, backslash and line feed escaped"},
  };
  for (const auto& c : cases) {
    const ReportOutput output = RenderReport(ReportFormat::Prometheus, c.report, Facts(c.task));
    EXPECT_EQ(Series(output.lines, "runwarden_task_status"), c.taskStatus) << c.reason;
    EXPECT_EQ(Series(output.lines, "runwarden_task_last_run_timestamp_seconds"), c.lastRuns)
        << c.reason;
    EXPECT_EQ(Series(output.lines, "runwarden_task_last_exit_code"), c.exitCodes) << c.reason;
    EXPECT_EQ(Series(output.lines, "runwarden_check_tasks"),
              Lines{"{task=\"" + c.task + "\"" + labels + "} " +
                    std::to_string(c.taskStatus.size() / 3)})
        << c.reason;
    EXPECT_EQ(output.exitStatus, c.exitStatus) << c.reason;
    // A metric without series has no help or type either.
    for (const std::string metric : {"runwarden_task_status", "runwarden_task_last_exit_code"}) {
      const bool described =
          std::count(output.lines.begin(), output.lines.end(), "# TYPE " + metric + " gauge") == 1;
      EXPECT_EQ(described, !Series(output.lines, metric).empty()) << c.reason << ": " << metric;
    }
  }
}

// An Unknown check says why in a comment line before everything else, one line of UTF-8;
// the series stay as they are.
TEST(PrometheusForm, WhyACheckIsUnknown) {
  const struct {
    CheckReport report;
    std::string comment;  // empty: none
    const char* reason;
  } cases[] = {
      {Made(CheckStatus::Unknown, "", "TimeFrame is required"), "# unknown: TimeFrame is required",
       "bad options"},
      {Made(CheckStatus::Unknown, "B", "Cannot write output file \"a\nb\xFF\": x\r\ny"),
       "# unknown: Cannot write output file \"a b\xEF\xBF\xBD\": x  y",
       "line breaks become blanks, bytes that are no UTF-8 U+FFFD"},
      {OneTask(NeverRan("B")), "# unknown: Invalid argument to date encode", "a task's Unknown"},
      {Made(CheckStatus::Unknown, "B", ""), "", "no text, no comment"},
      {OneTask(NotFound("B")), "", "Bad: the series say it"},
  };
  for (const auto& c : cases) {
    const ReportOutput output = RenderReport(ReportFormat::Prometheus, c.report, Facts("B"));
    CheckReport silent = c.report;
    silent.Text.clear();
    Lines expected = RenderReport(ReportFormat::Prometheus, silent, Facts("B")).lines;
    if (!c.comment.empty()) expected.insert(expected.begin(), c.comment);
    EXPECT_EQ(output.lines, expected) << c.reason;
  }
}

TEST(JsonForm, DocumentOfEachKindOfCheck) {
  const std::string tail = ",\"checked_at\":1796644800,";
  const struct {
    CheckReport report;
    CheckFacts facts;
    std::string document;
    int exitStatus;
    const char* reason;
  } cases[] = {
      {OneTask(Warned(Ran("Backup"), 86400)), Facts("Backup", true),
       "{\"status\":\"warning\",\"exit_status\":1,\"plugin_output\":\"TASK WARNING - Backup: "
       "12/7/26 2:00:00 am\",\"performance_data\":[\"age=4000s;3600;86400\",\"result=0\"]" +
           tail +
           "\"task\":\"Backup\",\"computer\":\"\",\"timeframe\":\"today\",\"tasks\":[{\"task\":"
           "\"Backup\",\"status\":\"warning\",\"last_run\":1796608800,\"last_run_text\":\"12/7/26 "
           "2:00:00 am\",\"exit_code\":0,\"text\":\"12/7/26 2:00:00 am\"}]}",
       0, "one task: its object; a warning is 0 as in the default form"},
      {OneTask(NeverRan("Backup")), Facts("Backup"),
       "{\"status\":\"unknown\",\"exit_status\":3,\"plugin_output\":\"TASK UNKNOWN - Backup: "
       "Invalid argument to date encode\",\"performance_data\":[]" +
           tail +
           "\"task\":\"Backup\",\"computer\":\"\",\"timeframe\":\"today\",\"tasks\":[{\"task\":"
           "\"Backup\",\"status\":\"unknown\",\"last_run_text\":\"\",\"text\":\"Invalid argument "
           "to date encode\"}]}",
       2, "never ran: no last_run, no exit_code"},
      {Made(CheckStatus::Unknown, "", "TimeFrame is required"), {"", "srv", "", false, std::nullopt},
       "{\"status\":\"unknown\",\"exit_status\":3,\"plugin_output\":\"TASK UNKNOWN - TimeFrame is "
       "required\",\"performance_data\":[],\"task\":\"\",\"computer\":\"srv\",\"timeframe\":\"\","
       "\"tasks\":[]}",
       2, "stopped before any task: no tasks"},
      {MixedPattern(), Facts("*"),
       "{\"status\":\"bad\",\"exit_status\":2,\"plugin_output\":\"TASK CRITICAL - *: 3 tasks "
       "matched, 2 failed\\nOK - a b: 12/7/26 2:00:00 am\\nCRITICAL - q\\\"uote\\\\back!bar line: "
       "12/7/26 2:00:00 am Last Result : 4294967295\\nUNKNOWN - caf\xC3\xA9: Invalid argument to "
       "date encode\",\"performance_data\":[\"'a b age'=36000s;;86400\",\"'a b result'=0\","
       "\"'a b next'=-30s\",\"'a b missed'=2\",\"'q\\\"uote\\\\back!bar line age'=36000s;;86400\","
       "\"'q\\\"uote\\\\back!bar line result'=4294967295\"]" +
           tail +
           "\"task\":\"*\",\"computer\":\"\",\"timeframe\":\"today\",\"tasks\":[{\"task\":\"a b\","
           "\"status\":\"ok\",\"last_run\":1796608800,\"last_run_text\":\"12/7/26 2:00:00 am\","
           "\"exit_code\":0,\"text\":\"12/7/26 2:00:00 am\"},{\"task\":\"q\\\"uote\\\\back|bar\\n"
           "line\",\"status\":\"bad\",\"last_run\":1796608800,\"last_run_text\":\"12/7/26 2:00:00 "
           "am\",\"exit_code\":4294967295,\"text\":\"12/7/26 2:00:00 am Last Result : "
           "4294967295\"},{\"task\":\"caf\xC3\xA9\",\"status\":\"unknown\",\"last_run_text\":\"\","
           "\"text\":\"Invalid argument to date encode\"}]}",
       1, "a pattern: long output after LF, each value an item, the names as they are"},
  };
  for (const auto& c : cases) {
    const ReportOutput output = RenderReport(ReportFormat::Json, c.report, c.facts);
    EXPECT_EQ(output.lines, Lines{c.document}) << c.reason;
    EXPECT_EQ(output.exitStatus, c.exitStatus) << c.reason;
    EXPECT_FALSE(output.platformLineEnds) << c.reason;
  }
}

TEST(MachineForms, EscapeEachElementAloneAndInText) {
  const struct {
    std::string text, prometheus, json;
    const char* reason;
  } cases[] = {
      {"\"", "\\\"", "\\\"", "a quote"},
      {"\\", "\\\\", "\\\\", "a backslash"},
      {"\n", "\\n", "\\n", "a line feed"},
      {"\r", "\r", "\\r", "a carriage return: JSON escapes it, the exposition need not"},
      {std::string(1, '\0'), std::string(1, '\0'), "\\u0000", "NUL"},
      {"\x1F\x7F", "\x1F\x7F", "\\u001f\x7F", "a control character; DEL is none to JSON"},
      {"\xFF", "\xEF\xBF\xBD", "\xEF\xBF\xBD", "a byte that is never UTF-8"},
      {"\xC3", "\xEF\xBF\xBD", "\xEF\xBF\xBD", "a cut sequence"},
      {"\xE3\x83\x9D", "\xE3\x83\x9D", "\xE3\x83\x9D", "a whole character stays"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrometheusLabelValue(c.text), c.prometheus) << c.reason;
    EXPECT_EQ(PrometheusLabelValue("xxx " + c.text + " yyy"), "xxx " + c.prometheus + " yyy")
        << c.reason;
    EXPECT_EQ(JsonString(c.text), "\"" + c.json + "\"") << c.reason;
    EXPECT_EQ(JsonString("xxx " + c.text + " yyy"), "\"xxx " + c.json + " yyy\"") << c.reason;
  }
}

TEST(ValidUtf8, KeepsValidSequencesAndReplacesEachBadByte) {
  const std::string r = "\xEF\xBF\xBD";
  const struct {
    std::string text, valid;
    const char* reason;
  } cases[] = {
      {"a|b", "a|b", "ASCII"},
      {"\xC2\x80\xDF\xBF", "\xC2\x80\xDF\xBF", "two-byte limits"},
      {"\xC0\xAF", r + r, "an overlong slash"},
      {"\xE0\x9F\xBF", r + r + r, "an overlong three-byte form"},
      {"\xED\xA0\x80", r + r + r, "a surrogate"},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "four-byte limits"},
      {"\xF4\x90\x80\x80", r + r + r + r, "past U+10FFFF"},
      {"\x83\x7C", r + "|", "a trail byte of code page 932 stands alone: its | is kept"},
      {"\xE3\x83", r + r, "cut at the end"},
  };
  for (const auto& c : cases) EXPECT_EQ(ValidUtf8(c.text), c.valid) << c.reason;
}

}  // namespace
}  // namespace runwarden
