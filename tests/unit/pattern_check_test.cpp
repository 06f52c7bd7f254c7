// Checks of many tasks through the whole run: which tasks a pattern finds, how each is
// judged, and the one outcome made of theirs.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/check/check_run.h"
#include "core/report/task_summary.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Lines = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

SystemTime At(std::uint16_t hour, std::uint16_t minute = 0) {
  return {2026, 12, 0, 7, hour, minute, 0, 0};
}

long CountOf(const Lines& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

// A run at noon of Monday 7 December 2026 in which every task last ran at 2:00 with exit
// code 0, unless setup says otherwise.
struct PatternRun {
  PatternRun(const Lines& arguments, const Scenario& setup) {
    fake.clockReadings = {At(12)};
    fake.lastRunTime = At(2);
    fake.registeredLastRun = DateTimeFromSystemTime(At(2));
    setup(fake);
    exitStatus = RunCheck(arguments, fake.platform(), RegionalSettings{}, SystemLeadBytes{});
  }
  FakePlatform fake;
  int exitStatus;
};

void List(FakePlatform& f, Lines names) { f.listedTasks = std::move(names); }

TEST(PatternCheck, Outcomes) {
  const std::string two = "12/7/26 2:00:00 am";
  const struct {
    Lines arguments;
    Scenario setup;
    int exitStatus;
    Lines output;
    const char* reason;
  } cases[] = {
      {{"-task:backup*", "-timeframe:60"},
       [](FakePlatform& f) {
         List(f, {"Other", "Backup E", "Backup D", "Backup C", "Backup B", "Backup A"});
         f.taskLastRuns = {{"Backup A", At(11, 30)}, {"Backup B", At(11, 30)}, {"Backup D", {}}};
         f.taskExitCodes = {{"Backup B", 3}};
         f.taskActivateResults = {{"Backup E", static_cast<HResult>(0x80070005)}};
       },
       1,
       {"ScriptRes:Bad:5 tasks matched, 4 failed; Backup B: 12/7/26 11:30:00 am Last Result : 3; "
        "Backup C: " + two + "; Backup D: Invalid argument to date encode; Backup E: Cannot find "
        "task \"Backup E\"; Error Code: 80070005"},
       "each task judged on its own, by name; any Bad makes the check Bad"},
      {{"-task:?", "-timeframe:today"},
       [](FakePlatform& f) {
         List(f, {"B", "A", "AB"});
         f.taskLastRuns = {{"B", {}}};
       },
       2, {"ScriptRes:Unknown:2 tasks matched, 1 failed; B: Invalid argument to date encode"},
       "Unknown when no task is Bad"},
      {{"-task:*", "-timeframe:today", "-ignoreres"},
       [](FakePlatform& f) {
         List(f, {"A", "B", "C", "D"});
         f.taskLastRuns = {{"A", At(9)}, {"C", At(1)}, {"D", At(9)}};
         f.taskExitCodes = {{"B", 3}};
       },
       0, {"ScriptRes:Ok:4 tasks matched, 0 failed; latest 12/7/26 9:00:00 am, earliest 12/7/26 1:00:00 am"},
       "all Ok: the latest and the earliest run; -ignoreres for every task"},
      {{"-task:a*", "-timeframe:today", "-remotegmt:-300"},
       [](FakePlatform& f) {
         List(f, {"A"});
         f.standardBias = -60;
         f.lastRunTime = At(8);
         f.clockReadings = {At(15)};
       },
       0, {"ScriptRes:Ok:1 task matched, 0 failed; latest 12/7/26 2:00:00 pm, earliest 12/7/26 2:00:00 pm"},
       "one task; the shift of -remotegmt"},
      {{"-task:backup-?", "-timeframe:today"},
       [](FakePlatform& f) {
         List(f, {"backup-1.timer", "backup-2.service"});
         f.listMatchedByScheduler = true;
       },
       0, {"ScriptRes:Ok:2 tasks matched, 0 failed; latest " + two + ", earliest " + two},
       "names that the scheduler matched by rules of its own are taken as they are"},
      {{"-task:*ly", "-timeframe:today"},
       [](FakePlatform& f) {
         List(f, {"Nightly"});
         f.serviceCreateResult = 0;
         f.folderTasks = {{"\\", {"NIGHTLY", "Weekly", "Monthly"}}};
         f.registeredResults = {{"NIGHTLY", 1}, {"Weekly", 1}};
       },
       1, {"ScriptRes:Bad:3 tasks matched, 1 failed; Weekly: " + two + " Last Result : 1"},
       "a root task that both interfaces know counts once, as the 1.0 task"},
      {{"-task:\\Backup\\", "-timeframe:600", "-format:nagios"},
       [](FakePlatform& f) {
         f.serviceCreateResult = 0;
         f.folderTasks = {{"\\Backup", {"Weekly", "Nightly"}}};
         f.registeredResults = {{"Weekly", 1}};
         f.registeredLastRuns = {{"Weekly", DateTimeFromSystemTime(At(11, 50))}};
       },
       2,
       {"TASK CRITICAL - \\Backup\\: 2 tasks matched, 1 failed; \\Backup\\Weekly: 12/7/26 11:50:00 am Last Result : 1 | '\\Backup\\Nightly age'=36000s;;36000 "
            "'\\Backup\\Nightly result'=0 '\\Backup\\Weekly age'=600s;;36000 '\\Backup\\Weekly result'=1",
        "OK - \\Backup\\Nightly: " + two,
        "CRITICAL - \\Backup\\Weekly: 12/7/26 11:50:00 am Last Result : 1"},
       "a 2.0 folder in the plugins' form: a line and the values of each task; a run at the "
       "start of the window is inside"},
  };
  for (const auto& c : cases) {
    const PatternRun run(c.arguments, c.setup);
    EXPECT_EQ(run.fake.output, c.output) << c.reason;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    Lines oneTask = c.arguments;
    oneTask[0] = "-task:One";
    const PatternRun one(oneTask, [](FakePlatform&) {});
    EXPECT_EQ(CountOf(run.fake.calls, "GetLocalTime"), CountOf(one.fake.calls, "GetLocalTime"))
        << c.reason << ": one window for all";
    EXPECT_EQ(run.fake.calls.back(), "CoUninitialize") << c.reason;
  }
}

TEST(PatternCheck, NoTaskMatchingIsTheNotFoundLineOfOneTask) {
  const std::string tooLong = "x*" + std::string(510, 'x');
  const struct {
    std::string pattern;
    Scenario setup;
    std::string code;
    const char* reason;
  } cases[] = {
      {"x*", [](FakePlatform& f) { List(f, {"Backup"}); }, "80070002", "nothing matches"},
      {"x*", [](FakePlatform& f) { f.enumResult = static_cast<HResult>(0x80041315); }, "80041315",
       "the 1.0 list fails: its code"},
      {"x*",
       [](FakePlatform& f) {
         f.enumResult = static_cast<HResult>(0x80041315);
         f.serviceCreateResult = 0;
         f.getTasksResult = static_cast<HResult>(0x80070005);
       },
       "80041315", "a 2.0 failure never changes the 1.0 answer"},
      {"\\Backup\\*", [](FakePlatform& f) { List(f, {"Backup"}); }, "80070003",
       "a folder, and no 2.0"},
      {"\\Nope\\",
       [](FakePlatform& f) {
         f.serviceCreateResult = 0;
         f.getFolderResult = static_cast<HResult>(0x80070003);
       },
       "80070003", "a folder that 2.0 does not know"},
      {"\\Backup\\",
       [](FakePlatform& f) {
         f.serviceCreateResult = 0;
         f.getTasksResult = static_cast<HResult>(0x80070005);
       },
       "80070005", "a folder that 2.0 cannot list: the code of the list"},
      {tooLong, [](FakePlatform& f) { List(f, {"x"}); }, "800700CE", "512 bytes: no platform call"},
  };
  for (const auto& c : cases) {
    const PatternRun run({"-task:" + c.pattern, "-timeframe:today"}, c.setup);
    EXPECT_EQ(run.fake.output,
              Lines{"ScriptRes:Bad:Cannot find task \"" + c.pattern + "\"; Error Code: " + c.code})
        << c.reason;
    EXPECT_EQ(run.exitStatus, 1) << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
  }
  const PatternRun tooLongRun({"-task:" + tooLong, "-timeframe:today"}, [](FakePlatform&) {});
  EXPECT_EQ(CountOf(tooLongRun.fake.calls, "Enum"), 0);
}

TEST(PatternCheck, AListThatBreaksOffKeepsTheNamesItGave) {
  const PatternRun run({"-task:T*", "-timeframe:today"}, [](FakePlatform& f) {
    for (int i = 0; i < 70; ++i) f.listedTasks.push_back("T" + std::to_string(100 + i));
    f.nextFailsAfter = 66;
  });
  EXPECT_EQ(run.fake.output, Lines{"ScriptRes:Ok:66 tasks matched, 0 failed; latest 12/7/26 2:00:00 "
                                   "am, earliest 12/7/26 2:00:00 am"});
  EXPECT_EQ(CountOf(run.fake.calls, "Next(64)"), 2);
}

TEST(SummaryText, BoundedWithACountOfTheTasksLeftOut) {
  const auto failing = [](std::size_t count, std::size_t nameBytes) {
    std::vector<CheckReport> tasks(count);
    for (std::size_t i = 0; i < count; ++i) {
      tasks[i].Status = CheckStatus::Bad;
      tasks[i].TaskName = std::string(nameBytes - 3, 'n') + std::to_string(100 + i);
      tasks[i].Text = "12/7/26 2:00:00 am Last Result : 1";
    }
    return tasks;
  };
  const std::string many = SummaryText(failing(30, 50));
  EXPECT_LE(many.size(), kSummaryTextLimit);
  EXPECT_TRUE(many.ends_with("; 20 more")) << many;
  EXPECT_EQ(SummaryText(failing(1, 1001)), "1 task matched, 1 failed; 1 more");
  EXPECT_EQ(SummaryText(failing(2, 400)).size(), 2 * (2 + 400 + 2 + 34) + 25);  // both fit
}

}  // namespace
}  // namespace runwarden
