// The verdicts of the keys after -format: through the whole check: accepted exit codes,
// runs that last too long, tasks that will not run again, the warn frame, and the values
// the check records for the forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "core/check_run.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Arguments = std::vector<std::string>;
using Calls = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

SystemTime At(std::uint16_t day, std::uint16_t hour, std::uint16_t minute = 0) {
  return {2026, 12, 0, day, hour, minute, 0, 0};
}

// Monday 7 December 2026, noon; the task last ran at 2:00, 600 minutes before.
const SystemTime kNow = At(7, 12);
const SystemTime kTwoToday = At(7, 2);
const std::string kTwo = "12/7/26 2:00:00 am";
const std::string kV1Task = "-task:Backup";
const std::string kV2Task = "-task:\\Backup\\Nightly";

std::string Ok(const std::string& text) { return "ScriptRes:Ok:" + text; }
std::string Bad(const std::string& text) { return "ScriptRes:Bad:" + text; }
std::string Unknown(const std::string& text) { return "ScriptRes:Unknown:" + text; }

long CountOf(const Calls& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

// One check on a fresh fake, its record and its line in the default form. through2: the
// task is one that only Task Scheduler 2.0 knows.
struct Verdict {
  Verdict(Arguments arguments, const Scenario& setup, bool through2 = false) {
    fake.clockReadings = {kNow};
    fake.lastRunTime = kTwoToday;
    fake.registeredLastRun = DateTimeFromSystemTime(kTwoToday);
    if (through2) fake.KnowTasksOnlyThrough2(static_cast<HResult>(0x80070003));
    if (setup) setup(fake);
    outcome = JudgeCheck(arguments, fake.platform(), RegionalSettings{}, SystemLeadBytes{});
    const ReportOutput output = RenderReport(ReportFormat::ScriptRes, outcome.report, outcome.facts);
    line = output.lines.back();
  }
  const CheckReport& report() const { return outcome.report; }

  FakePlatform fake;
  CheckOutcome outcome;
  std::string line;
};

Arguments With(Arguments arguments, const Arguments& extra) {
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

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

// A task's state set alike through either interface.
Scenario Running() {
  return [](FakePlatform& f) {
    f.taskStatus = 0x41301;
    f.registeredState = 4;
  };
}
Scenario Disabled() {
  return [](FakePlatform& f) {
    f.taskFlags = 0x4;
    f.registeredEnabled = false;
  };
}
Scenario ExitCode(std::uint32_t code) {
  return [code](FakePlatform& f) {
    f.exitCode = code;
    f.lastTaskResult = static_cast<std::int32_t>(code);
  };
}
Scenario Both(Scenario a, Scenario b) {
  return [a, b](FakePlatform& f) {
    if (a) a(f);
    if (b) b(f);
  };
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

// Task Scheduler 1.0 tells why a task will not run again through its status, its flags
// and the answer of GetNextRunTime.
TEST(CheckVerdicts, TheScheduleStatesOf1) {
  const auto v1 = [](HResult status, std::uint32_t flags, HResult next) {
    return [=](FakePlatform& f) {
      f.taskStatus = status;
      f.taskFlags = flags;
      f.nextRunResult = next;
    };
  };
  const HResult ready = 0x41300;
  const struct {
    Scenario setup;
    std::string state;  // empty: Ok
    const char* reason;
  } cases[] = {
      {v1(ready, 0, 0), "", "ready, with a next run"},
      {v1(0x41302, 0, 0), "disabled", "status disabled"},
      {v1(0x41304, 0, 0), "no next run", "status no more runs"},
      {v1(0x41305, 0, 0), "not scheduled", "status not scheduled"},
      {v1(0x41307, 0, 0), "not scheduled", "status no valid triggers"},
      {v1(ready, 0x4, 0), "disabled", "the disabled flag, which Wine's status leaves out"},
      {v1(ready, 0x8, 0), "", "another flag"},
      {v1(ready, 0, 0x41302), "disabled", "next run: disabled"},
      {v1(ready, 0, 0x41304), "no next run", "next run: no more runs"},
      {v1(ready, 0, 0x41307), "not scheduled", "next run: no valid triggers"},
      {v1(ready, 0, 0x41308), "", "next run: only an event trigger counts as scheduled"},
      {v1(ready, 0, static_cast<HResult>(0x80004005)), "", "a failed next-run call says nothing"},
      {v1(0x41304, 0x4, 0x41307), "disabled", "disabled weighs most"},
      {v1(0x41305, 0, 0x41304), "no next run", "no next run before not scheduled"},
      {Both(v1(0x41302, 0, 0), [](FakePlatform& f) { f.notGiven = {"GetStatus"}; }), "",
       "a status not given"},
      {Both(v1(ready, 4, 0), [](FakePlatform& f) { f.notGiven = {"GetStatus", "GetNextRunTime"}; }),
       "disabled", "the flags alone"},
  };
  for (const auto& c : cases) {
    const Verdict run({kV1Task, "-timeframe:today", "-checkstate"}, c.setup);
    EXPECT_EQ(run.line, c.state.empty() ? Ok(kTwo) : Bad(kTwo + " State : " + c.state)) << c.reason;
  }
}

TEST(CheckVerdicts, TheScheduleStatesOf2) {
  const struct {
    std::int32_t state;
    bool enabled;
    std::set<std::string> notGiven;
    bool disabled;
    const char* reason;
  } cases[] = {
      {3, true, {}, false, "ready and enabled"},
      {1, true, {}, true, "state disabled"},
      {3, false, {}, true, "not enabled"},
      {2, true, {}, false, "queued"},
      {1, true, {"get_State"}, false, "a state not given"},
      {3, false, {"get_State"}, true, "not enabled, no state"},
  };
  for (const auto& c : cases) {
    const Verdict run({kV2Task, "-timeframe:today", "-checkstate"}, [&](FakePlatform& f) {
      f.registeredState = c.state;
      f.registeredEnabled = c.enabled;
      f.notGiven = c.notGiven;
    }, true);
    EXPECT_EQ(run.line, c.disabled ? Bad(kTwo + " State : disabled") : Ok(kTwo)) << c.reason;
  }
}

// The next run and the missed runs go into the record, whatever the status; they never
// change it.
TEST(CheckVerdicts, NextRunAndMissedRunsAreRecordedOnly) {
  const DateTime tomorrowTwo = DateTimeFromSystemTime(At(8, 2));
  const struct {
    Arguments arguments;
    Scenario setup;
    bool through2;
    std::optional<std::int64_t> nextRun, missed;
    CheckStatus status;
    const char* reason;
  } cases[] = {
      {{kV1Task, "-timeframe:today", "-checkstate"}, nullptr, false, 14 * 3600, std::nullopt,
       CheckStatus::Ok, "1.0: in 14 hours; no missed runs given"},
      {{kV1Task, "-timeframe:today", "-checkstate"},
       [](FakePlatform& f) { f.nextRunTime = At(7, 11); }, false, -3600, std::nullopt,
       CheckStatus::Ok, "overdue by an hour: negative, still Ok"},
      {{kV1Task, "-timeframe:today", "-checkstate", "-remotegmt:60"},
       [](FakePlatform& f) { f.nextRunTime = At(7, 13); }, false, 0, std::nullopt,
       CheckStatus::Ok, "shifted as the last run is"},
      {{kV1Task, "-timeframe:yesterday", "-checkstate"}, nullptr, false, 14 * 3600, std::nullopt,
       CheckStatus::Bad, "recorded for a task that is Bad"},
      {{kV1Task, "-timeframe:today", "-checkstate"},
       [](FakePlatform& f) { f.nextRunResult = 0x41308; }, false, std::nullopt, std::nullopt,
       CheckStatus::Ok, "an event trigger: no next run time"},
      {{kV1Task, "-timeframe:today", "-maxrun:60"}, nullptr, false, std::nullopt, std::nullopt,
       CheckStatus::Ok, "without -checkstate: not read"},
      {{kV2Task, "-timeframe:today", "-checkstate"},
       [&](FakePlatform& f) {
         f.registeredNextRun = tomorrowTwo;
         f.missedRuns = 2;
       },
       true, 14 * 3600, 2, CheckStatus::Ok, "2.0: next run and missed runs"},
      {{kV2Task, "-timeframe:today", "-checkstate"},
       [](FakePlatform& f) { f.notGiven = {"get_NextRunTime", "get_NumberOfMissedRuns"}; }, true,
       std::nullopt, std::nullopt, CheckStatus::Ok, "2.0 without them (Wine)"},
      {{kV2Task, "-timeframe:today", "-checkstate"}, nullptr, true, std::nullopt, 0,
       CheckStatus::Ok, "2.0: a next run of 0 is none"},
  };
  for (const auto& c : cases) {
    const Verdict run(c.arguments, c.setup, c.through2);
    EXPECT_EQ(run.report().NextRunSeconds, c.nextRun) << c.reason;
    EXPECT_EQ(run.report().MissedRuns, c.missed) << c.reason;
    EXPECT_EQ(run.report().Status, c.status) << c.reason;
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
}  // namespace runwarden
