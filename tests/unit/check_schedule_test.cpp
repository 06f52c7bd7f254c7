// -timeframe:schedule and -grace: through the whole check: each task judged against the
// latest start that its scheduler lists, through Task Scheduler 1.0 and 2.0 alike.
#include <gtest/gtest.h>

#include "core/report/report_forms.h"
#include "fakes/fake_platform.h"
#include "unit/check_verdicts_support.h"

namespace runwarden::verdicts_test {
namespace {

using testing::FakePlatform;

Scenario Starts(std::vector<SystemTime> starts) {
  return [starts](FakePlatform& f) { f.runTimes.starts = starts; };
}
Scenario Answer(HResult answer) {
  return [answer](FakePlatform& f) { f.runTimes.answer = answer; };
}
Scenario NeverRan() {
  return [](FakePlatform& f) {
    f.lastRunTime = {};
    f.registeredLastRun = 0;
  };
}
// Every 30 seconds for the two days before now: more than one list holds.
Scenario EveryHalfMinute() {
  return [](FakePlatform& f) {
    for (int second = 0; second < 2 * 86400; second += 30) {
      f.runTimes.starts.push_back(
          SplitDateTime(DateTimeFromSystemTime(At(5, 12)) + second / 86400.0));
    }
  };
}

const std::string kEleven = "12/7/26 11:00:00 am";

TEST(CheckSchedule, VerdictsThroughEitherInterface) {
  const struct {
    Arguments extra;
    Scenario setup;
    std::string line;
    long listCalls;
    const char* reason;
  } cases[] = {
      {{}, Starts({At(6, 2), At(7, 2)}), Ok(kTwo), 1, "the last run is the latest slot's"},
      {{}, Starts({At(7, 2), At(7, 11)}), Bad(kTwo + " Missed : " + kEleven), 1,
       "a later slot passed without a run"},
      {{}, Starts({At(7, 2), At(7, 11, 57)}), Ok(kTwo), 1,
       "a slot within the default grace of 5 minutes counts not yet"},
      {{"-grace:2"}, Starts({At(7, 2), At(7, 11, 57)}), Bad(kTwo + " Missed : 12/7/26 11:57:00 am"),
       1, "a shorter grace makes it count"},
      {{"-grace:600"}, Starts({At(7, 1), At(7, 11)}), Ok(kTwo), 1,
       "a longer grace: the 11:00 slot counts not yet"},
      {{"-grace:"}, Starts({At(7, 2), At(7, 11, 57)}), Ok(kTwo), 1,
       "an empty value is the default grace"},
      {{}, Starts({}), Ok(kTwo + " Not yet due"), 4, "no start within 400 days"},
      {{}, Starts({At(7, 13)}), Ok(kTwo + " Not yet due"), 4, "the first start is ahead"},
      {{}, Starts({{2026, 5, 0, 21, 2, 0, 0, 0}}), Ok(kTwo), 4, "widened to 400 days"},
      {{}, Starts({{2026, 11, 0, 20, 2, 0, 0, 0}}), Ok(kTwo), 3, "widened to 32 days"},
      {{}, EveryHalfMinute(), Bad(kTwo + " Missed : 12/7/26 11:54:30 am"), 3,
       "a list that comes full is asked again after its last start"},
      {{}, Both(Starts({At(7, 1)}), ExitCode(3)), Bad(kTwo + " Last Result : 3"), 1,
       "then the exit code"},
      {{}, Both(Starts({At(7, 13)}), ExitCode(3)), Bad(kTwo + " Not yet due Last Result : 3"), 4,
       "the exit code also when not yet due"},
      {{"-checkstate"}, Both(Starts({At(7, 1)}), Disabled()), Bad(kTwo + " State : disabled"), 1,
       "then the state"},
      {{}, Both(Starts({At(7, 11)}), NeverRan()),
       Bad("Invalid argument to date encode Missed : " + kEleven), 1, "never ran, a slot passed"},
      {{}, Both(Starts({}), NeverRan()), Ok("Not yet due"), 4, "never ran, not yet due"},
      {{"-checkstate"}, Both(Both(Starts({}), NeverRan()), Disabled()),
       Bad("Not yet due State : disabled"), 4, "never ran, not yet due, disabled"},
      {{}, Answer(0x41307), Unknown("The task has no time schedule"), 1, "no valid triggers"},
      {{}, Answer(0x41308), Unknown("The task has no time schedule"), 1, "only event triggers"},
      {{"-remotegmt:-60"}, Starts({At(7, 2), At(7, 10, 50), At(7, 10, 58)}),
       Bad("12/7/26 3:00:00 am Missed : 12/7/26 11:50:00 am"), 1,
       "S and the last run shifted alike; the range ends on the remote clock"},
  };
  for (const auto& c : cases) {
    for (const bool through2 : {false, true}) {
      const Verdict run(With({through2 ? kV2Task : kV1Task, "-timeframe:schedule"}, c.extra),
                        c.setup, through2);
      EXPECT_EQ(run.line, c.line) << c.reason << (through2 ? " (2.0)" : " (1.0)");
      EXPECT_EQ(CountOf(run.fake.calls, "GetRunTimes"), c.listCalls) << c.reason;
      EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    }
  }
}

// A unit that timers start (Linux): S from their settings, the run-time list never asked.
TEST(CheckSchedule, TimersGiveTheStartOfUnits) {
  const auto timers = [](std::vector<std::string> calendar, HResult answer = 0) {
    return [calendar, answer](FakePlatform& f) {
      TimerSchedule timer;
      timer.timer = "backup.timer";
      timer.calendar = calendar;
      f.runTimes.taskTimers = {{"Backup", calendar.empty() ? std::vector<TimerSchedule>{}
                                                           : std::vector<TimerSchedule>{timer}}};
      f.runTimes.timersAnswer = answer;
    };
  };
  const struct {
    Arguments extra;
    Scenario setup;
    std::string line;
  } cases[] = {
      {{}, timers({"*-*-* 02:00:00"}), Ok(kTwo)},
      {{}, timers({"*-*-* 11:00:00"}), Bad(kTwo + " Missed : " + kEleven)},
      {{"-grace:61"}, timers({"*-*-* 11:00:00"}), Ok(kTwo)},
      {{"-remotegmt:-60"}, timers({"*-*-* 11:00:00"}),
       Bad("12/7/26 3:00:00 am Missed : 12/7/26 12:00:00 pm")},
      {{}, timers({"2099-01-01 00:00:00"}), Ok(kTwo + " Not yet due")},
      {{}, timers({}), Unknown("The task has no time schedule")},
      {{}, timers({"*-*-* 11:00:00 Nowhere/Zone"}),
       Unknown("Cannot read the time schedule of task \"Backup\"")},
      {{}, timers({"*-*-* 11:00:00"}, static_cast<HResult>(0x80004005)),
       Unknown("Cannot list run times of task \"Backup\"; Error Code: 80004005")},
  };
  for (const auto& c : cases) {
    const Verdict run(With({kV1Task, "-timeframe:schedule"}, c.extra), c.setup);
    EXPECT_EQ(run.line, c.line) << c.setup.target_type().name() << " " << c.line;
    EXPECT_EQ(CountOf(run.fake.calls, "GetTimerSchedules(Backup)"), 1) << c.line;
    EXPECT_EQ(CountOf(run.fake.calls, "GetRunTimes"), 0) << c.line;
  }
}

TEST(CheckSchedule, RangesAskedAndFailures) {
  const Verdict first({kV1Task, "-timeframe:schedule"}, Starts({}));
  const Calls expected{
      "GetRunTimes(Backup, 2026-12-06 11:55:00.000, 2026-12-07 11:55:00.000, 1440)",
      "GetRunTimes(Backup, 2026-11-29 11:55:00.000, 2026-12-07 11:55:00.000, 1440)",
      "GetRunTimes(Backup, 2026-11-05 11:55:00.000, 2026-12-07 11:55:00.000, 1440)",
      "GetRunTimes(Backup, 2025-11-02 11:55:00.000, 2026-12-07 11:55:00.000, 1440)"};
  Calls listed;
  for (const std::string& call : first.fake.calls) {
    if (call.rfind("GetRunTimes", 0) == 0) listed.push_back(call);
  }
  EXPECT_EQ(listed, expected);
  const Verdict paged({kV1Task, "-timeframe:schedule"}, EveryHalfMinute());
  EXPECT_EQ(CountOf(paged.fake.calls,
                    "GetRunTimes(Backup, 2026-12-06 23:54:30.001, 2026-12-07 11:55:00.000"), 1)
      << "the next page starts just after the last start listed";

  for (const bool through2 : {false, true}) {
    const Verdict wine({through2 ? kV2Task : kV1Task, "-timeframe:schedule", "-format:nagios"},
                       [](FakePlatform& f) { f.notGiven = {"GetRunTimes"}; }, through2);
    const std::string name = through2 ? "\\Backup\\Nightly" : "Backup";
    EXPECT_EQ(wine.line, Unknown("Cannot list run times of task \"" + name +
                                 "\"; Error Code: 80004001"));
    EXPECT_FALSE(wine.report().AgeSeconds) << "nothing measured";
  }
  const Verdict keywordOnly({kV1Task, "-timeframe:today", "-warnframe:60"}, Starts({At(7, 11)}));
  EXPECT_EQ(CountOf(keywordOnly.fake.calls, "GetRunTimes"), 0) << "no schedule frame, no list";
}

TEST(CheckSchedule, GraceValuesAndTheWarnFrame) {
  const std::string message =
      "Invalid grace specified. Grace should be a non-negative number of minutes";
  for (const char* grace : {"-grace:-1", "-grace:x", "-grace:5m", "-grace:99999999999"}) {
    const Verdict run({kV1Task, "-timeframe:schedule", grace}, nullptr);
    EXPECT_EQ(run.line, Unknown(message)) << grace;
    EXPECT_EQ(CountOf(run.fake.calls, "CoInitialize"), 0) << grace;
  }
  const Verdict zero({kV1Task, "-timeframe:schedule", "-grace:0"}, Starts({At(7, 11, 59)}));
  EXPECT_EQ(zero.line, Bad(kTwo + " Missed : 12/7/26 11:59:00 am"));
  const Verdict unused({kV1Task, "-timeframe:today", "-grace:x"}, nullptr);
  EXPECT_EQ(unused.line, Unknown(message)) << "checked also where no schedule frame needs it";

  const Verdict warn({kV1Task, "-timeframe:today", "-warnframe:schedule"}, Starts({At(7, 11)}));
  EXPECT_EQ(warn.line, Ok(kTwo));
  EXPECT_TRUE(warn.report().Warning) << "a missed slot warns";
  EXPECT_EQ(warn.report().WarnWindowSeconds, 3600);
  EXPECT_FALSE(warn.report().WindowSeconds);
}

TEST(CheckSchedule, EachTaskOfAPatternHasItsOwnStart) {
  const Verdict run({"-task:?", "-timeframe:schedule", "-format:nagios"}, [](FakePlatform& f) {
    f.listedTasks = {"A", "B", "C"};
    f.runTimes.taskStarts = {{"A", {At(7, 1)}}, {"B", {At(7, 11)}}, {"C", {}}};
  });
  ASSERT_EQ(run.report().Tasks.size(), 3u);
  EXPECT_EQ(run.line, Bad("3 tasks matched, 1 failed; B: " + kTwo + " Missed : " + kEleven));
  EXPECT_EQ(run.report().Tasks[0].DueSeconds, 11 * 3600);
  EXPECT_EQ(run.report().Tasks[1].DueSeconds, 3600);
  EXPECT_FALSE(run.report().Tasks[2].DueSeconds) << "not yet due: no S";
  EXPECT_EQ(run.report().Tasks[2].Text, kTwo + " Not yet due");
}

TEST(CheckSchedule, TheFormsShowS) {
  const Arguments arguments{kV1Task, "-timeframe:schedule"};
  const auto render = [](const Verdict& run, ReportFormat format) {
    return RenderReport(format, run.report(), run.outcome.facts).lines;
  };
  const Verdict missed(arguments, Starts({At(7, 11)}));
  EXPECT_EQ(render(missed, ReportFormat::Nagios).front(),
            "TASK CRITICAL - Backup: " + kTwo + " Missed : " + kEleven +
                " | age=36000s;;3600 result=0 due=3600s");
  const Verdict json(With(arguments, {"-format:json"}), Starts({At(7, 11)}));
  EXPECT_NE(render(json, ReportFormat::Json).front().find(
                "\"exit_code\":0,\"due\":1796641200,\"text\""),
            std::string::npos);
  const Verdict prom(With(arguments, {"-format:prometheus"}), Starts({At(7, 11)}));
  const std::vector<std::string> lines = render(prom, ReportFormat::Prometheus);
  EXPECT_EQ(lines.back(),
            "runwarden_task_due_timestamp_seconds{task=\"Backup\",host=\"\",timeframe=\"schedule\"} "
            "1796641200");
  const Verdict notDue(With(arguments, {"-format:prometheus"}), Starts({}));
  for (const std::string& line : render(notDue, ReportFormat::Prometheus)) {
    EXPECT_EQ(line.find("due"), std::string::npos) << "left out without S: " << line;
  }
  EXPECT_EQ(render(Verdict(arguments, Starts({})), ReportFormat::Nagios).front(),
            "TASK OK - Backup: " + kTwo + " Not yet due | age=36000s result=0");
}

}  // namespace
}  // namespace runwarden::verdicts_test
