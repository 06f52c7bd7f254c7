// The verdicts of the keys after -format: through the whole check: accepted exit codes,
// runs that last too long, tasks that will not run again, the warn frame, and the values
// the check records for the forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "core/check/check_run.h"
#include "fakes/fake_platform.h"
#include "unit/check_verdicts_support.h"

namespace runwarden::verdicts_test {
namespace {

using testing::FakePlatform;

TEST(CheckVerdicts, InvalidValuesStopTheCheckAndTheLastMessageStands) {
  const std::string codes = "Invalid exit code list specified";
  const std::string maxRun =
      "Invalid max run time specified. Max run time should be a positive number of minutes";
  const std::string warn =
      "Invalid warn frame specified. Warn frame should be minutes or a time frame keyword";
  const struct {
    Arguments extra;
    std::string message;
    const char* reason;
  } cases[] = {
      {{"-okcodes:5-3"}, codes, "a range that runs backwards"},
      {{"-okcodes:4294967296"}, codes, "a code too large"},
      {{"-maxrun:0"}, maxRun, "zero minutes"},
      {{"-maxrun:-5"}, maxRun, "a negative count"},
      {{"-maxrun:5x"}, maxRun, "the whole value must be the number"},
      {{"-maxrun:long"}, maxRun, "no number"},
      {{"-warnframe:tomorrow"}, warn, "no keyword"},
      {{"-warnframe:0"}, warn, "zero minutes and no keyword"},
      {{"-okcodes:x", "-maxrun:0"}, maxRun, "the later key's message stands"},
      {{"-warnframe:0", "-okcodes:x"}, warn, "in the keys' order, not the arguments'"},
      {{"-okcodes:x", "-format:xml"},
       "Invalid format specified. Format should be scriptres, nagios, prometheus or json",
       "the format's stands over all"},
  };
  for (const auto& c : cases) {
    const Verdict run(With({kV1Task, "-timeframe:today"}, c.extra), nullptr);
    EXPECT_EQ(run.line, Unknown(c.message)) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "CoInitialize"), 0) << c.reason;
  }
  const Verdict noTimeFrame({kV1Task, "-okcodes:,"}, nullptr);
  EXPECT_EQ(noTimeFrame.line, Unknown(codes)) << "after the time frame's message";
  const Verdict empty({kV1Task, "-timeframe:today", "-okcodes:", "-maxrun:", "-warnframe:"},
                      [](FakePlatform& f) { f.exitCode = 3; });
  EXPECT_EQ(empty.line, Bad(kTwo + " Last Result : 3")) << "an empty value is a key not given";
  EXPECT_FALSE(empty.outcome.facts.WarnFrame);
}


// The same situations through Task Scheduler 1.0 and 2.0: the same line.
TEST(CheckVerdicts, OutcomesInTheirOrderThroughEitherInterface) {
  const Arguments today{"-timeframe:today"};
  const struct {
    Arguments arguments;
    Scenario setup;
    std::string line;
    const char* reason;
  } cases[] = {
      {{"-timeframe:today", "-okcodes:3"}, ExitCode(3), Ok(kTwo), "a listed code is success"},
      {{"-timeframe:today", "-okcodes:0x80041300-0x800413FF"}, ExitCode(0x8004131F), Ok(kTwo),
       "a code inside a listed range, unsigned"},
      {{"-timeframe:today", "-okcodes:3,5"}, ExitCode(4), Bad(kTwo + " Last Result : 4"),
       "a code not listed"},
      {{"-timeframe:today", "-okcodes:3", "-ignoreres"}, ExitCode(4), Ok(kTwo),
       "-ignoreres still ignores every code"},
      {{"-timeframe:today", "-maxrun:599"}, Running(), Bad(kTwo + " State : running for 600 minutes"),
       "running for longer than the limit"},
      {{"-timeframe:today", "-maxrun:600"}, Running(), Ok(kTwo), "exactly the limit is not more"},
      {{"-timeframe:today"}, Running(), Ok(kTwo), "running, without -maxrun"},
      {{"-timeframe:today", "-checkstate"}, Disabled(), Bad(kTwo + " State : disabled"), "disabled"},
      {{"-timeframe:today"}, Disabled(), Ok(kTwo), "disabled, without -checkstate"},
      {{"-timeframe:today", "-checkstate"}, Running(), Ok(kTwo), "running is no schedule state"},
      {{"-timeframe:today", "-maxrun:1", "-checkstate"}, Both(Running(), Disabled()),
       Bad(kTwo + " State : running for 600 minutes"), "running before the schedule state"},
      {{"-timeframe:today", "-maxrun:1", "-checkstate"}, Both(ExitCode(3), Both(Running(), Disabled())),
       Bad(kTwo + " Last Result : 3"), "the exit code before either"},
      {{"-timeframe:yesterday", "-maxrun:1", "-checkstate", "-okcodes:3"},
       Both(ExitCode(4), Both(Running(), Disabled())), Bad(kTwo), "the window before all"},
      {{"-timeframe:today", "-checkstate", "-okcodes:3"}, Both(ExitCode(3), Disabled()),
       Bad(kTwo + " State : disabled"), "a listed code goes on to the state"},
      {{"-timeframe:today", "-checkstate", "-maxrun:1"},
       Both(Disabled(),
            [](FakePlatform& f) {
              f.lastRunTime = {};
              f.registeredLastRun = 0;
            }),
       Unknown("Invalid argument to date encode"), "a task that never ran keeps its line"},
      {{"-timeframe:today", "-checkstate", "-maxrun:1"},
       Both(Both(Running(), Disabled()),
            [](FakePlatform& f) {
              f.notGiven = {"GetStatus", "GetFlags", "GetNextRunTime", "get_State", "get_Enabled"};
            }),
       Ok(kTwo), "values the platform does not give judge nothing"},
  };
  for (const auto& c : cases) {
    for (const bool through2 : {false, true}) {
      const Verdict run(With({through2 ? kV2Task : kV1Task}, c.arguments), c.setup, through2);
      EXPECT_EQ(run.line, c.line) << c.reason << (through2 ? " (2.0)" : " (1.0)");
      EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    }
  }
}

TEST(CheckVerdicts, TheWarnFrameWarnsOnlyWhereTheCheckIsOk) {
  const struct {
    Arguments arguments;
    Scenario setup;
    bool warning;
    std::optional<std::int64_t> warnWindow;
    const char* reason;
  } cases[] = {
      {{"-timeframe:today", "-warnframe:60"}, nullptr, true, 3600, "outside the last hour"},
      {{"-timeframe:today", "-warnframe:today"}, nullptr, false, std::nullopt,
       "a keyword: no length"},
      {{"-timeframe:this_week", "-warnframe:Today"},
       [](FakePlatform& f) { f.lastRunTime = At(6, 2); }, true, std::nullopt,
       "yesterday's run is outside today, in any case of the keyword"},
      {{"-timeframe:today", "-warnframe:x3c"}, nullptr, true, 3600, "hexadecimal, as -timeframe:"},
      {{"-timeframe:today", "-warnframe:-5"}, nullptr, false, std::nullopt,
       "a negative count is today's window, as -timeframe:"},
      {{"-timeframe:today", "-warnframe:5x"}, nullptr, true, 300, "digits count, as -timeframe:"},
      {{"-timeframe:today", "-warnframe:60"}, ExitCode(3), false, 3600, "Bad: no warning"},
      {{"-timeframe:today", "-warnframe:60", "-okcodes:3"}, ExitCode(3), true, 3600,
       "a listed code is Ok, and so warned"},
      {{"-timeframe:today"}, nullptr, false, std::nullopt, "no warn frame"},
  };
  for (const auto& c : cases) {
    const Verdict run(With({kV1Task}, c.arguments), c.setup);
    EXPECT_EQ(run.report().Warning, c.warning) << c.reason;
    EXPECT_EQ(run.report().WarnWindowSeconds, c.warnWindow) << c.reason;
    EXPECT_EQ(run.outcome.facts.WarnFrame, c.arguments.size() > 1) << c.reason;
    if (run.report().Status == CheckStatus::Ok) {
      EXPECT_EQ(run.line, Ok(run.report().LastRunText)) << c.reason << ": the default form is unchanged";
    }
  }
}

// Each extra value is read with one call per task at most, and only when a key asks for
// it; the scheduler hears before it is made what the check will read.
TEST(CheckVerdicts, ExtraCallsOnlyForTheKeysThatNeedThem) {
  const struct {
    Arguments extra;
    bool through2;
    const char* request;  // the hint, or none
    std::vector<const char*> oncePerTask, never;
  } cases[] = {
      {{"-okcodes:3", "-warnframe:60"}, false, nullptr, {},
       {"GetStatus", "GetFlags", "GetNextRunTime", "RequestTaskValues"}},
      {{"-maxrun:60"}, false, "RequestTaskValues(running)", {"GetStatus"},
       {"GetFlags", "GetNextRunTime"}},
      {{"-checkstate"}, false, "RequestTaskValues(schedule)",
       {"GetStatus", "GetFlags", "GetNextRunTime"}, {}},
      {{"-checkstate", "-maxrun:60"}, false, "RequestTaskValues(running, schedule)",
       {"GetStatus", "GetFlags", "GetNextRunTime"}, {}},
      {{"-maxrun:60"}, true, "RequestTaskValues(running)", {"get_State"},
       {"get_Enabled", "get_NextRunTime", "get_NumberOfMissedRuns"}},
      {{"-checkstate", "-maxrun:60"}, true, "RequestTaskValues(running, schedule)",
       {"get_State", "get_Enabled", "get_NextRunTime", "get_NumberOfMissedRuns"}, {}},
  };
  for (const auto& c : cases) {
    // Two tasks of a pattern through 1.0, or one task through 2.0.
    const Arguments task = c.through2 ? Arguments{kV2Task} : Arguments{"-task:B*"};
    const Verdict run(With(With(task, {"-timeframe:today"}), c.extra),
                      [](FakePlatform& f) { f.listedTasks = {"B1", "B2"}; }, c.through2);
    const Calls& calls = run.fake.calls;
    const long tasks = c.through2 ? 1 : 2;
    for (const char* method : c.oncePerTask) EXPECT_EQ(CountOf(calls, method), tasks) << method;
    for (const char* method : c.never) EXPECT_EQ(CountOf(calls, method), 0) << method;
    if (c.request) {
      const auto hint = std::find(calls.begin(), calls.end(), c.request);
      const auto created = std::find_if(calls.begin(), calls.end(), [](const std::string& call) {
        return call.rfind("CoCreateInstance", 0) == 0;
      });
      EXPECT_LT(hint, created) << c.request << ": once, before the scheduler object is made";
      EXPECT_EQ(CountOf(calls, "RequestTaskValues"), 1) << c.request;
    }
  }
  // The state is read last, after the exit code, and its objects go as before.
  const Verdict one({kV1Task, "-timeframe:today", "-checkstate"}, nullptr);
  const Calls& calls = one.fake.calls;
  const auto exitCode = std::find(calls.begin(), calls.end(), "GetExitCode(Backup)");
  ASSERT_NE(exitCode, calls.end());
  EXPECT_EQ(Calls(exitCode, exitCode + 5),
            (Calls{"GetExitCode(Backup)", "GetStatus(Backup)", "GetFlags(Backup)",
                   "GetNextRunTime(Backup)", "Release(Backup)=1"}));
}

// For a pattern: each task judged by the rules, and the check warns only when no task is
// Bad or Unknown and one warns (SummaryWarning).
TEST(CheckVerdicts, APatternWarnsWhenEveryTaskIsOkAndOneWarns) {
  const auto tasks = [](FakePlatform& f) {
    f.listedTasks = {"A", "B", "C"};
    f.taskLastRuns = {{"A", At(7, 11, 30)}, {"B", At(7, 11, 45)}, {"C", At(7, 11, 50)}};
  };
  const struct {
    Arguments extra;
    Scenario setup;
    CheckStatus status;
    bool warning;
    std::vector<bool> taskWarnings;
    const char* reason;
  } cases[] = {
      {{"-warnframe:20"}, nullptr, CheckStatus::Ok, true, {true, false, false}, "one warns"},
      {{"-warnframe:40"}, nullptr, CheckStatus::Ok, false, {false, false, false}, "none warns"},
      {{"-warnframe:20"}, [](FakePlatform& f) { f.taskExitCodes = {{"C", 3}}; }, CheckStatus::Bad,
       false, {true, false, false}, "one is Bad"},
      {{"-warnframe:20"}, [](FakePlatform& f) { f.taskLastRuns["C"] = {}; }, CheckStatus::Unknown,
       false, {true, false, false}, "one is Unknown"},
      {{"-warnframe:20", "-okcodes:3"}, [](FakePlatform& f) { f.taskExitCodes = {{"C", 3}}; },
       CheckStatus::Ok, true, {true, false, false}, "the codes for every task"},
      {{"-warnframe:20", "-checkstate"}, [](FakePlatform& f) { f.taskFlagSets = {{"B", 4}}; },
       CheckStatus::Bad, false, {true, false, false}, "the state of every task"},
  };
  for (const auto& c : cases) {
    const Verdict run(With({"-task:?", "-timeframe:60"}, c.extra), Both(tasks, c.setup));
    EXPECT_EQ(run.report().Status, c.status) << c.reason;
    EXPECT_EQ(run.report().Warning, c.warning) << c.reason;
    std::vector<bool> warnings;
    for (const CheckReport& task : run.report().Tasks) warnings.push_back(task.Warning);
    EXPECT_EQ(warnings, c.taskWarnings) << c.reason;
  }
  const Verdict state({"-task:?", "-timeframe:60", "-checkstate"},
                      Both(tasks, [](FakePlatform& f) { f.taskFlagSets = {{"B", 4}}; }));
  EXPECT_EQ(state.line, Bad("3 tasks matched, 1 failed; B: 12/7/26 11:45:00 am State : disabled"));
}

}  // namespace
}  // namespace runwarden::verdicts_test
