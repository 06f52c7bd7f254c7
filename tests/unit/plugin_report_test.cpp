#include "core/report/plugin_report.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace runwarden {
namespace {

constexpr auto kNone = std::nullopt;

TEST(PluginLine, StatusFactsAndPerformanceData) {
  const struct {
    CheckReport report;
    std::string line;
    const char* reason;
  } cases[] = {
      {{CheckStatus::Ok, "Backup", "12/7/26 2:00:00 am", 36000, 36000, 0},
       "TASK OK - Backup: 12/7/26 2:00:00 am | age=36000s;;36000 result=0",
       "a minute window: its length is the critical age"},
      {{CheckStatus::Bad, "Backup", "12/7/26 2:00:00 am Last Result : 4294967295", 5, kNone,
        0xFFFFFFFF},
       "TASK CRITICAL - Backup: 12/7/26 2:00:00 am Last Result : 4294967295 | age=5s "
       "result=4294967295",
       "a keyword window: no threshold; every bit set, unsigned"},
      {{CheckStatus::Bad, "Backup", "12/7/26 2:00:01 pm", -1, 60, 0},
       "TASK CRITICAL - Backup: 12/7/26 2:00:01 pm | age=-1s;;60 result=0", "a run after now"},
      {{CheckStatus::Unknown, "Backup", "std::bad_alloc", 7, kNone, kNone},
       "TASK UNKNOWN - Backup: std::bad_alloc | age=7s", "the exit code was never read"},
      {{CheckStatus::Unknown, "", "TimeFrame is required", kNone, kNone, kNone},
       "TASK UNKNOWN - TimeFrame is required", "no task, nothing measured: no separator"},
      {{CheckStatus::Bad, "Daily \"Backup\" 'x'", "Cannot find task \"Daily \"Backup\" 'x'\"",
        kNone, kNone, kNone},
       "TASK CRITICAL - Daily \"Backup\" 'x': Cannot find task \"Daily \"Backup\" 'x'\"",
       "blanks and quotes in the text as they are"},
      {{CheckStatus::Bad, "a|b", "Cannot find task \"a|b\"", kNone, kNone, kNone},
       "TASK CRITICAL - a!b: Cannot find task \"a!b\"", "a | in the name and the reason"},
      {{CheckStatus::Ok, "a|b\r\nc", "x|y", 1, kNone, 0},
       "TASK OK - a!b  c: x!y | age=1s result=0", "only the separator is a |, on one line"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PluginLine(c.report), c.line) << c.reason;
  }
}

TEST(PluginLine, ExitStatusOfEachStatus) {
  EXPECT_EQ(PluginExitStatus(CheckStatus::Ok), 0);
  EXPECT_EQ(PluginExitStatus(CheckStatus::Bad), 2);
  EXPECT_EQ(PluginExitStatus(CheckStatus::Unknown), 3);
}

TEST(PerfDataLabel, QuotedWhereTheConventionNeedsIt) {
  const struct {
    std::string name, label;
    const char* reason;
  } cases[] = {
      {"age", "age", "plain"},
      {"Daily Backup", "'Daily Backup'", "a blank"},
      {"a=b", "'a=b'", "an equals sign"},
      {"it's", "'it''s'", "a quote, doubled"},
      {"a|b", "a!b", "a | never starts more performance data"},
      {"a\nb", "'a b'", "a line break becomes a blank"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PerfDataLabel(c.name), c.label) << c.reason;
  }
}

}  // namespace
}  // namespace runwarden
