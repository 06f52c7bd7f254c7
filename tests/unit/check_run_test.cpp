#include "core/check/check_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>

#include "fakes/fake_platform.h"
#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

using testing::FakePlatform;

// --- validation: failures before COM starts ---

TEST(CheckRun, ValidationOutcomes) {
  const std::string gmtMessage = "Invalid gmt offset specified. Number should be in range -760..+780";
  const struct {
    Arguments arguments;
    std::string line;
    bool help;
    const char* reason;
  } cases[] = {
      {{}, Unknown("TimeFrame is required"), true, "no arguments"},
      {{"/?", "-task:a", "-timeframe:today"}, Unknown("TimeFrame is required"), true,
       "a help switch first: nothing after it is parsed"},
      {{"-h"}, Unknown("TimeFrame is required"), true, "-h alone"},
      {{"-task:a"}, Unknown("TimeFrame is required"), false, "only -task"},
      {{"-timeframe:today"}, Unknown("Scheduled Task name is required"), false, "only -timeframe"},
      {{"-host:srv"}, Unknown("TimeFrame is required"), false, "neither: the later test's text"},
      {{"-task:", "-timeframe:60"}, Unknown("Scheduled Task name is required"), false, "empty task"},
      {{"-task:a", "-timeframe:"}, Unknown("TimeFrame is required"), false, "empty time frame"},
      {{"-task:a", "-timeframe:0"}, Unknown("TimeFrame is required"), false, "zero minutes"},
      {{"-task:a", "-timeframe:tomorrow"}, Unknown("TimeFrame is required"), false, "no keyword"},
      {{"-task:a", "-timeframe:today", "-remotegmt:781"}, Unknown(gmtMessage), false,
       "an offset out of range stops the check"},
      {{"-task:a", "-timeframe:today", "-remotegmt"}, Unknown(gmtMessage), false,
       "-remotegmt without a value"},
      {{"-remotegmt:-781", "-timeframe:today"}, Unknown("Scheduled Task name is required"), false,
       "validation replaces the offset's message"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments);
    EXPECT_EQ(run.ResultLine(), c.line) << c.reason;
    EXPECT_EQ(run.status, CheckStatus::Unknown) << c.reason;
    EXPECT_EQ(run.HelpShown(), c.help) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "CoInitialize"), 0) << c.reason;
    ExpectOneResultLineAndNothingLeft(run, c.reason);
  }
}

TEST(CheckRun, UnreadableTimeZoneStopsTheCheck) {
  const CheckRun run({"-task:a", "-timeframe:today", "-remotegmt:60"},
                     [](FakePlatform& f) { f.timeZoneReadable = false; });
  EXPECT_EQ(run.ResultLine(), Unknown("Cannot retrieve local time zone information"));
  EXPECT_EQ(run.fake.calls, Calls{"GetTimeZoneInformation"});
}

// --- whole checks ---

TEST(CheckRun, Outcomes) {
  const Arguments today{"-task:Backup", "-timeframe:today"};
  const auto lastRun = [](SystemTime t) { return [t](FakePlatform& f) { f.lastRunTime = t; }; };
  const auto exitCode = [](std::uint32_t code) { return [code](FakePlatform& f) { f.exitCode = code; }; };
  const struct {
    Arguments arguments;
    Scenario setup;
    CheckStatus status;
    std::string line;
    const char* reason;
  } cases[] = {
      {today, nullptr, CheckStatus::Ok, Ok("12/7/26 2:00:00 am"), "a run today"},
      {today, lastRun(At(2026, 12, 7)), CheckStatus::Ok, Ok("12/7/26"),
       "a run at the window's start is inside"},
      {today, lastRun(kNow), CheckStatus::Bad, Bad("12/7/26 12:00:00 pm"),
       "a run at the window's end is outside"},
      {{"-task:Backup", "-timeframe:yesterday"}, lastRun(At(2026, 12, 7)), CheckStatus::Bad,
       Bad("12/7/26"), "yesterday excludes today's midnight"},
      {{"-task:Backup", "-timeframe:yesterday"}, lastRun(At(2026, 12, 6)), CheckStatus::Ok,
       Ok("12/6/26"), "yesterday includes its own midnight"},
      {{"-task:Backup", "-timeframe:60"}, lastRun(At(2026, 12, 7, 11, 1)), CheckStatus::Ok,
       Ok("12/7/26 11:01:00 am"), "59 minutes ago in the last hour"},
      {{"-task:Backup", "-timeframe:60"}, lastRun(At(2026, 12, 7, 10, 59)), CheckStatus::Bad,
       Bad("12/7/26 10:59:00 am"), "61 minutes ago is outside the last hour"},
      {{"-task:Backup", "-timeframe:-5"}, nullptr, CheckStatus::Ok, Ok("12/7/26 2:00:00 am"),
       "-5 is judged by today's window"},
      {{"-task:Backup", "-timeframe:-5"}, lastRun(At(2026, 12, 6, 23)), CheckStatus::Bad,
       Bad("12/6/26 11:00:00 pm"), "-5: yesterday is outside today"},
      {{"-task:Backup", "-timeframe:-5x"}, lastRun(At(2026, 12, 7, 11, 56)), CheckStatus::Ok,
       Ok("12/7/26 11:56:00 am"), "-5x counts as 5 minutes"},
      {{"-task:Backup", "-timeframe:-5x"}, lastRun(At(2026, 12, 7, 11, 54)), CheckStatus::Bad,
       Bad("12/7/26 11:54:00 am"), "-5x: 6 minutes ago is outside"},
      {{"-task:Backup", "-timeframe:x3c"}, lastRun(At(2026, 12, 7, 11, 1)), CheckStatus::Ok,
       Ok("12/7/26 11:01:00 am"), "x3c is 60 minutes"},
      {{"-task:Backup", "-timeframe:x3c"}, lastRun(At(2026, 12, 7, 10, 59)), CheckStatus::Bad,
       Bad("12/7/26 10:59:00 am"), "x3c: 61 minutes ago is outside"},
      {{"-task:Backup", "-timeframe:60"}, lastRun(At(2026, 12, 7, 12, 1)), CheckStatus::Bad,
       Bad("12/7/26 12:01:00 pm"), "a run after now is outside"},
      {today, exitCode(1), CheckStatus::Bad, Bad("12/7/26 2:00:00 am Last Result : 1"),
       "a non-zero exit code"},
      {today, exitCode(0x80070005), CheckStatus::Bad,
       Bad("12/7/26 2:00:00 am Last Result : 2147942405"), "top bit set: no minus sign"},
      {today, exitCode(0xFFFFFFFF), CheckStatus::Bad,
       Bad("12/7/26 2:00:00 am Last Result : 4294967295"), "all bits set"},
      {{"-task:Backup", "-timeframe:today", "-ignoreres"}, exitCode(1), CheckStatus::Ok,
       Ok("12/7/26 2:00:00 am"), "-ignoreres skips the exit code"},
      {{"-task:Backup", "-timeframe:yesterday"}, exitCode(1), CheckStatus::Bad,
       Bad("12/7/26 2:00:00 am"), "the window's failure wins over the exit code's"},
      {today, [](FakePlatform& f) { f.coCreateInstanceResult = static_cast<HResult>(0x80040154); },
       CheckStatus::Bad, Bad("Error in CoCreateInstance. Error Code: 80040154"),
       "no scheduler class"},
      {today, [](FakePlatform& f) { f.coCreateInstanceResult = 1; }, CheckStatus::Bad,
       Bad("Error in CoCreateInstance. Error Code: 00000001"), "a success code other than 0"},
      {{"-task:Backup", "-timeframe:today", "-host:srv"},
       [](FakePlatform& f) { f.setTargetComputerResult = static_cast<HResult>(0x80070035); },
       CheckStatus::Bad, Bad("Cannot connect to computer: \"\\\\srv\"; Error Code: 80070035"),
       "an unreachable computer"},
      {today,
       [](FakePlatform& f) {
         f.activateResult = static_cast<HResult>(0x80070002);
         f.activateStoresObject = false;
       },
       CheckStatus::Bad, Bad("Cannot find task \"Backup\"; Error Code: 80070002"), "no such task"},
      {{"-task:Back\r\nup", "-timeframe:today"},
       [](FakePlatform& f) { f.activateResult = static_cast<HResult>(0x80070002); },
       CheckStatus::Bad, Bad("Cannot find task \"Back  up\"; Error Code: 80070002"),
       "a line break in a name does not split the result line"},
      {today, lastRun(SystemTime{}), CheckStatus::Unknown, Unknown("Invalid argument to date encode"),
       "a task that never ran: an all-zero record"},
      {today, lastRun(At(2026, 12, 7, 24)), CheckStatus::Unknown,
       Unknown("Invalid argument to time encode"), "an hour of 24"},
      {today, [](FakePlatform& f) { f.coInitializeResult = 1; }, CheckStatus::Unknown,
       Unknown("Error in CoInitialize. Error Code :00000001"), "COM already initialised"},
      {today, [](FakePlatform& f) { f.coInitializeResult = static_cast<HResult>(0x8001010E); },
       CheckStatus::Unknown, Unknown("Error in CoInitialize. Error Code :8001010E"),
       "COM cannot start"},
      {{"-task:Backup", "-timeframe:today", "-user:EXAMPLE\\backup", "-pswd:wrong"},
       [](FakePlatform& f) { f.logonSucceeds = false; }, CheckStatus::Ok, Ok("12/7/26 2:00:00 am"),
       "a failed logon still checks, and its text is not shown"},
      {{"-task:Backup", "-timeframe:today", "-remotegmt:-300"},
       [](FakePlatform& f) {
         f.standardBias = -60;
         f.lastRunTime = At(2026, 12, 7, 8);
         f.clockReadings = {At(2026, 12, 7, 15)};
       },
       CheckStatus::Ok, Ok("12/7/26 2:00:00 pm"), "remote 08:00 at GMT-5 is 14:00 at GMT+1"},
      {{"-task:Backup", "-timeframe:today", "-remotegmt:-300"},
       [](FakePlatform& f) {
         f.standardBias = -60;
         f.lastRunTime = At(2026, 12, 7, 8);
       },
       CheckStatus::Bad, Bad("12/7/26 2:00:00 pm"), "the shifted run lies after now"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    EXPECT_EQ(run.ResultLine(), c.line) << c.reason;
    EXPECT_EQ(run.status, c.status) << c.reason;
    EXPECT_FALSE(run.HelpShown()) << c.reason;
    ExpectOneResultLineAndNothingLeft(run, c.reason);
  }
}

TEST(CheckRun, LocalCheckCallsInOrder) {
  const CheckRun run({"-task:Backup", "-timeframe:today"});
  EXPECT_EQ(run.fake.calls,
            (Calls{"CoInitialize",
                   "CoCreateInstance(CLSID_CTaskScheduler, null, 1, IID_ITaskScheduler)",
                   "MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)",
                   "AddRef(Backup)=2", "GetMostRecentRunTime(Backup)", "GetLocalTime",
                   "GetLocalTime", "GetExitCode(Backup)", "Release(Backup)=1",
                   "Release(Backup)=0", "Release(scheduler)=0", "CoUninitialize"}));
}

TEST(CheckRun, RemoteCheckUnderAnAccountCallsInOrder) {
  const CheckRun run({"-task:Backup", "-timeframe:yesterday", "-host:srv", "-user:EXAMPLE\\backup",
                      "-pswd:secret"},
                     [](FakePlatform& f) { f.lastRunTime = At(2026, 12, 6, 2); });
  EXPECT_EQ(run.status, CheckStatus::Ok);
  EXPECT_EQ(run.fake.calls,
            (Calls{"CoInitialize", "LogonUserA(backup, EXAMPLE, secret, 9, 0)",
                   "ImpersonateLoggedOnUser(68)", "WNetAddConnection2A(\\\\srv, secret, EXAMPLE\\backup, 0)",
                   "SetRemoteLogin(backup)",
                   "CoCreateInstance(CLSID_CTaskScheduler, null, 1, IID_ITaskScheduler)",
                   "MultiByteToWideChar(0, 0, 5, 5)", "SetTargetComputer(\\\\srv)",
                   "MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)",
                   "AddRef(Backup)=2", "GetMostRecentRunTime(Backup)", "GetLocalTime",
                   "GetExitCode(Backup)", "Release(Backup)=1", "Release(Backup)=0",
                   "Release(scheduler)=0", "RevertToSelf", "CloseHandle(68)", "CoUninitialize"}));
}

// The same situation through Task Scheduler 1.0 and, for a task that only 2.0 knows,
// through 2.0: the same line and status.
TEST(CheckRun, ATaskFoundThrough2GetsTheLinesOfA1Task) {
  const Arguments today{"-task:\\Backup\\Nightly", "-timeframe:today"};
  const Arguments ignoring{"-task:\\Backup\\Nightly", "-timeframe:today", "-ignoreres"};
  const auto date = [](const SystemTime& t) { return DateTimeFromSystemTime(t); };
  const SystemTime lateYesterday = At(2026, 12, 6, 23);
  const HResult hasNotRun = 0x41303;
  const struct {
    Arguments arguments;
    SystemTime record;  // 1.0
    std::uint32_t exitCode;
    double lastRun;  // 2.0
    HResult lastRunResult;
    std::int32_t taskResult;
    CheckStatus status;
    std::string line;
    const char* reason;
  } cases[] = {
      {today, kTwoToday, 0, date(kTwoToday), 0, 0, CheckStatus::Ok, Ok("12/7/26 2:00:00 am"), "a run today"},
      {today, lateYesterday, 0, date(lateYesterday), 0, 0, CheckStatus::Bad, Bad("12/6/26 11:00:00 pm"),
       "a run before the window"},
      {today, kTwoToday, 3, date(kTwoToday), 0, 3, CheckStatus::Bad,
       Bad("12/7/26 2:00:00 am Last Result : 3"), "a non-zero result"},
      {ignoring, kTwoToday, 3, date(kTwoToday), 0, 3, CheckStatus::Ok, Ok("12/7/26 2:00:00 am"),
       "a non-zero result ignored"},
      {today, lateYesterday, 3, date(lateYesterday), 0, 3, CheckStatus::Bad,
       Bad("12/6/26 11:00:00 pm"), "outside the window: the window's text only"},
      {today, kTwoToday, 0xC0000005, date(kTwoToday), 0, static_cast<std::int32_t>(0xC0000005),
       CheckStatus::Bad, Bad("12/7/26 2:00:00 am Last Result : 3221225477"), "top bit set"},
      {today, kTwoToday, 0, date(kTwoToday), 0, 0x41301, CheckStatus::Ok, Ok("12/7/26 2:00:00 am"),
       "2.0: still running is no failure of the run that began today"},
      {today, SystemTime{}, 0, 0, hasNotRun, hasNotRun, CheckStatus::Unknown,
       Unknown("Invalid argument to date encode"), "never ran"},
      {ignoring, SystemTime{}, 0, date(At(1999, 11, 30)), 0, hasNotRun, CheckStatus::Unknown,
       Unknown("Invalid argument to date encode"), "2.0: a result of not yet run is never ran"},
      {today, At(10000, 1, 1), 0, date(At(9999, 12, 31)) + 1, 0, 0, CheckStatus::Unknown,
       Unknown("Invalid argument to date encode"), "a run time that is no valid date"},
  };
  for (const auto& c : cases) {
    const CheckRun v1(c.arguments, [&](FakePlatform& f) {
      f.lastRunTime = c.record;
      f.exitCode = c.exitCode;
    });
    const CheckRun v2(c.arguments, [&](FakePlatform& f) {
      f.KnowTasksOnlyThrough2(static_cast<HResult>(0x80070003));
      f.registeredLastRun = c.lastRun;
      f.lastRunTimeResult = c.lastRunResult;
      f.lastTaskResult = c.taskResult;
    });
    for (const CheckRun* run : {&v1, &v2}) {
      EXPECT_EQ(run->ResultLine(), c.line) << c.reason;
      EXPECT_EQ(run->status, c.status) << c.reason;
      ExpectOneResultLineAndNothingLeft(*run, c.reason);
    }
    EXPECT_EQ(CountOf(v2.fake.calls, "GetTask(Nightly)"), 1) << c.reason;
  }
}

TEST(CheckRun, RemoteCheckOfA2TaskUnderAnAccountCallsInOrder) {
  const CheckRun run({"-task:\\Backup\\Nightly", "-timeframe:yesterday", "-host:srv",
                      "-user:EXAMPLE\\backup", "-pswd:secret", "-remotegmt:-300"},
                     [](FakePlatform& f) {
                       f.KnowTasksOnlyThrough2(static_cast<HResult>(0x80070003));
                       f.standardBias = -60;
                       f.registeredLastRun = DateTimeFromSystemTime(At(2026, 12, 6, 2));
                     });
  EXPECT_EQ(run.ResultLine(), Ok("12/6/26 8:00:00 am"));  // 02:00 at GMT-5 is 08:00 at GMT+1
  EXPECT_EQ(run.fake.calls,
            (Calls{"GetTimeZoneInformation", "CoInitialize",
                   "LogonUserA(backup, EXAMPLE, secret, 9, 0)", "ImpersonateLoggedOnUser(68)",
                   "WNetAddConnection2A(\\\\srv, secret, EXAMPLE\\backup, 0)",
                   "SetRemoteLogin(backup)",
                   "CoCreateInstance(CLSID_CTaskScheduler, null, 1, IID_ITaskScheduler)",
                   "MultiByteToWideChar(0, 0, 5, 5)", "SetTargetComputer(\\\\srv)",
                   "MultiByteToWideChar(0, 0, 15, 15)", "Activate(\\Backup\\Nightly, IID_ITask)",
                   "CoCreateInstance(CLSID_TaskScheduler, null, 1, IID_ITaskService)",
                   "MultiByteToWideChar(0, 0, 5, 5)", "Connect(srv, <empty>, <empty>, <empty>)",
                   "MultiByteToWideChar(0, 0, 15, 15)", "GetFolder(\\Backup)", "GetTask(Nightly)",
                   "AddRef(registered Nightly)=2", "Release(registered Nightly)=1",
                   "get_LastRunTime(registered Nightly)", "GetLocalTime",
                   "get_LastTaskResult(registered Nightly)", "Release(registered Nightly)=0",
                   "Release(folder \\Backup)=0", "Release(service)=0", "Release(scheduler)=0",
                   "RevertToSelf", "CloseHandle(68)", "CoUninitialize"}));
}

TEST(CheckRun, ExitCodeIsReadAlsoWhenTheWindowFailed) {
  const CheckRun run({"-task:Backup", "-timeframe:yesterday"},
                     [](FakePlatform& f) { f.exitCode = 1; });
  EXPECT_EQ(run.ResultLine(), Bad("12/7/26 2:00:00 am"));
  EXPECT_EQ(CountOf(run.fake.calls, "GetExitCode(Backup)"), 1);
}

// Whatever fails after COM has started, the helper goes first, then the impersonation,
// then COM.
TEST(CheckRun, CleanUpOrderWhenTheCheckFails) {
  const Arguments account{"-task:Backup", "-timeframe:today", "-user:backup", "-pswd:secret"};
  const struct {
    Scenario setup;
    Calls tail;
    const char* reason;
  } cases[] = {
      {[](FakePlatform& f) { f.coCreateInstanceResult = static_cast<HResult>(0x80040154); },
       {"CoCreateInstance(CLSID_CTaskScheduler, null, 1, IID_ITaskScheduler)", "RevertToSelf",
        "CloseHandle(68)", "CoUninitialize"},
       "no scheduler object: nothing to release"},
      {[](FakePlatform& f) {
         f.activateResult = static_cast<HResult>(0x80070002);
         f.activateStoresObject = false;
       },
       {"Activate(Backup, IID_ITask)",
        "CoCreateInstance(CLSID_TaskScheduler, null, 1, IID_ITaskService)",
        "Release(scheduler)=0", "RevertToSelf", "CloseHandle(68)", "CoUninitialize"},
       "task not found, and no Task Scheduler 2.0 to ask"},
      {[](FakePlatform& f) { f.lastRunTime = SystemTime{}; },
       {"GetMostRecentRunTime(Backup)", "Release(Backup)=1", "Release(Backup)=0",
        "Release(scheduler)=0", "RevertToSelf", "CloseHandle(68)", "CoUninitialize"},
       "an invalid last-run record"},
      {[](FakePlatform& f) { f.exitCode = 2; },
       {"GetExitCode(Backup)", "Release(Backup)=1", "Release(Backup)=0", "Release(scheduler)=0",
        "RevertToSelf", "CloseHandle(68)", "CoUninitialize"},
       "a non-zero exit code"},
      {[](FakePlatform& f) { f.logonSucceeds = false; },
       {"GetExitCode(Backup)", "Release(Backup)=1", "Release(Backup)=0", "Release(scheduler)=0",
        "CoUninitialize"},
       "no token: no impersonation to end"},
  };
  for (const auto& c : cases) {
    const CheckRun run(account, c.setup);
    const Calls& calls = run.fake.calls;
    ASSERT_GE(calls.size(), c.tail.size()) << c.reason;
    EXPECT_EQ(Calls(calls.end() - static_cast<long>(c.tail.size()), calls.end()), c.tail) << c.reason;
    ExpectOneResultLineAndNothingLeft(run, c.reason);
  }
}

TEST(CheckRun, AccountStepNeedsBothAccountAndPassword) {
  const struct {
    Arguments extra;
    long logons, connections, remoteLogins;
    std::string remoteName;
    const char* reason;
  } cases[] = {
      {{"-user:EXAMPLE\\backup", "-pswd:secret", "-host:srv"}, 1, 1, 1, "\\\\srv", "both, with a host"},
      {{"-user:backup", "-pswd:secret"}, 1, 1, 1, "", "both, no host: the connection is still made"},
      {{"-user:EXAMPLE\\backup", "-host:srv"}, 0, 0, 1, "", "no password"},
      {{"-pswd:secret", "-host:srv"}, 0, 0, 0, "", "no account"},
      {{"-host:srv"}, 0, 0, 0, "", "neither"},
  };
  for (const auto& c : cases) {
    Arguments arguments{"-task:Backup", "-timeframe:today"};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const CheckRun run(arguments);
    const Calls& calls = run.fake.calls;
    EXPECT_EQ(CountOf(calls, "LogonUserA"), c.logons) << c.reason;
    EXPECT_EQ(CountOf(calls, "WNetAddConnection2A"), c.connections) << c.reason;
    EXPECT_EQ(CountOf(calls, "SetRemoteLogin(backup)"), c.remoteLogins) << c.reason;
    EXPECT_EQ(run.fake.lastRemoteName, c.remoteName) << c.reason;
    EXPECT_EQ(run.status, CheckStatus::Ok) << c.reason;
    ExpectOneResultLineAndNothingLeft(run, c.reason);
  }
}

TEST(CheckRun, ConnectionFailureIsIgnored) {
  const CheckRun run({"-task:Backup", "-timeframe:today", "-user:backup", "-pswd:secret",
                      "-host:srv"},
                     [](FakePlatform& f) { f.connectionResults = {1219}; });
  EXPECT_EQ(run.ResultLine(), Ok("12/7/26 2:00:00 am"));
  EXPECT_EQ(CountOf(run.fake.calls, "WNetCancelConnection2A"), 0);
}

TEST(CheckRun, HostNameGetsTwoLeadingBackslashes) {
  const struct {
    std::string host, used;
    const char* reason;
  } cases[] = {
      {"srv", "\\\\srv", "none: two are added"},
      {"\\\\srv", "\\\\srv", "two: used unchanged"},
      {"\\srv", "\\\\\\srv", "one: two more"},
      {"\\\\\\srv", "\\\\\\srv", "three: unchanged"},
      {"srv\\\\", "\\\\srv\\\\", "backslashes elsewhere do not count"},
  };
  for (const auto& c : cases) {
    const CheckRun run({"-task:Backup", "-timeframe:today", "-host:" + c.host, "-user:u", "-pswd:p"},
                       [](FakePlatform& f) { f.setTargetComputerResult = 5; });
    EXPECT_EQ(CountOf(run.fake.calls, "SetTargetComputer(" + c.used + ")"), 1) << c.reason;
    EXPECT_EQ(run.fake.lastRemoteName, c.used) << c.reason;
    EXPECT_EQ(run.ResultLine(),
              Bad("Cannot connect to computer: \"" + c.used + "\"; Error Code: 00000005"))
        << c.reason;
  }
}

}  // namespace
}  // namespace runwarden::check_run_test
