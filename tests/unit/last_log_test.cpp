// -lastlog: the lines of a Bad task's last run, in the forms that show them.
#include <gtest/gtest.h>

#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

const std::string kLong(230, 'x');

// The lines of the fake's task: the newest last, one with the plugins' separator, one
// with control characters and invalid UTF-8, one too wide for a line.
void WithLines(FakePlatform& f) {
  f.exitCode = 3;
  f.logLines["Backup"] = {"old", "a|b", "t\tab\x01 \xFF", kLong};
}

// Console lines as the fake ends them.
std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

TEST(LastLog, LinesOfABadTaskInThePluginsFormAndJson) {
  const std::string two = "12/7/26 2:00:00 am";
  const std::string cut = "  " + std::string(200, 'x') + "...";
  const std::string bad = "Backup: " + two + " Last Result : 3";
  const struct {
    Arguments arguments;
    Scenario setup;
    std::string written;
    const char* reason;
  } cases[] = {
      {{"-task:Backup", "-timeframe:today", "-format:nagios", "-lastlog:3"}, WithLines,
       Lines({"TASK CRITICAL - " + bad + " | age=36000s result=3", "  a!b",
              "  t ab  \xEF\xBF\xBD", cut}),
       "the plugins' long output: indented, cut, one line each"},
      {{"-task:Backup", "-timeframe:today", "-format:json", "-lastlog:1"}, WithLines,
       "\"text\":\"" + two + " Last Result : 3\",\"log\":[\"" + kLong + "\"]}]}\n",
       "JSON: the lines as they are, in an array"},
      {{"-task:Backup", "-timeframe:today", "-format:nagios", "-lastlog:3"},
       [](FakePlatform& f) { f.logLines["Backup"] = {"fine"}; },
       Lines({"TASK OK - Backup: " + two + " | age=36000s result=0"}), "an Ok task shows none"},
      {{"-task:Backup", "-timeframe:today", "-format:nagios", "-lastlog:0"}, WithLines,
       Lines({"TASK CRITICAL - " + bad + " | age=36000s result=3"}), "0 lines: none asked"},
      {{"-task:Backup", "-timeframe:today", "-lastlog:3"}, WithLines,
       Lines({"ScriptRes:Bad:" + two + " Last Result : 3"}), "the default form never shows them"},
      {{"-task:B*", "-timeframe:today", "-format:nagios", "-lastlog:1"},
       [](FakePlatform& f) {
         f.listedTasks = {"Backup", "Bother"};
         WithLines(f);
         f.logLines["Bother"] = {"bother's"};
       },
       Lines({"CRITICAL - " + bad, cut, "CRITICAL - Bother: " + two + " Last Result : 3",
              "  bother's"}),
       "a pattern: each task's lines under it"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    EXPECT_TRUE(run.fake.written.ends_with(c.written)) << c.reason << "\n" << run.fake.written;
  }
  const CheckRun ok({"-task:Backup", "-timeframe:today", "-format:nagios", "-lastlog:3"});
  EXPECT_EQ(CountOf(ok.fake.calls, "GetLastLogLines"), 0) << "an Ok task's lines are not read";
}

TEST(LastLog, LinesOutsideTheRangeAreUnknown) {
  for (const char* value : {"-lastlog:51", "-lastlog:-1", "-lastlog:x", "-lastlog:5x"}) {
    const CheckRun run({"-task:Backup", "-timeframe:today", value});
    EXPECT_EQ(run.ResultLine(),
              Unknown("Invalid last log specified. Last log should be a number of lines in "
                      "range 0..50"))
        << value;
  }
}

}  // namespace
}  // namespace runwarden::check_run_test
