#include "core/check_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Arguments = std::vector<std::string>;
using Calls = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

SystemTime At(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
              std::uint16_t minute = 0, std::uint16_t second = 0) {
  return {year, month, 0, day, hour, minute, second, 0};
}

// Monday 7 December 2026, noon: the clock of every run unless a row says otherwise.
const SystemTime kNow = At(2026, 12, 7, 12);
const SystemTime kTwoToday = At(2026, 12, 7, 2);

// Result lines; the last run is written as the default regional form shows it
// (m/d/yy h:mm:ss am/pm, the time left out at midnight).
std::string Ok(const std::string& text) { return "ScriptRes:Ok:" + text; }
std::string Bad(const std::string& text) { return "ScriptRes:Bad:" + text; }
std::string Unknown(const std::string& text) { return "ScriptRes:Unknown:" + text; }

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

long CountOf(const Calls& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& call) { return StartsWith(call, prefix); });
}

// One whole run on a fresh fake: the clock reads kNow and the task last ran at kTwoToday
// with exit code 0, unless setup says otherwise.
struct CheckRun {
  explicit CheckRun(const Arguments& arguments, const Scenario& setup = nullptr) {
    fake.clockReadings = {kNow};
    fake.lastRunTime = kTwoToday;
    if (setup) setup(fake);
    exitStatus = RunCheck(arguments, fake.platform(), RegionalSettings{}, SystemLeadBytes{});
    status = static_cast<CheckStatus>(exitStatus);  // so in the default form
  }
  std::string ResultLine() const { return fake.output.empty() ? "" : fake.output.back(); }
  bool HelpShown() const { return fake.output.size() > 1; }

  FakePlatform fake;
  int exitStatus;
  CheckStatus status;
};

// What every run leaves behind: exactly one result line, last, matching the status; every
// object released; COM shut down as often as it was started, last of all; a token closed.
void ExpectOneResultLineAndNothingLeft(const CheckRun& run, const std::string& context) {
  const Calls& output = run.fake.output;
  const Calls& calls = run.fake.calls;
  EXPECT_EQ(CountOf(output, "ScriptRes:"), 1) << context;
  const std::string prefix[] = {"ScriptRes:Ok:", "ScriptRes:Bad:", "ScriptRes:Unknown:"};
  EXPECT_TRUE(StartsWith(run.ResultLine(), prefix[static_cast<int>(run.status)])) << context;
  EXPECT_EQ(run.fake.liveObjects, 0) << context;
  EXPECT_EQ(CountOf(calls, "CoInitialize"), CountOf(calls, "CoUninitialize")) << context;
  if (CountOf(calls, "CoInitialize") > 0) {
    EXPECT_EQ(calls.back(), "CoUninitialize") << context;
  }
  EXPECT_EQ(CountOf(calls, "ImpersonateLoggedOnUser"), CountOf(calls, "RevertToSelf")) << context;
  EXPECT_EQ(CountOf(calls, "ImpersonateLoggedOnUser"), CountOf(calls, "CloseHandle")) << context;
}

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

// A time zone whose reading runs out of memory: an error while the options are parsed.
class ExhaustedTimeZone final : public TimeZone {
 public:
  bool GetStandardBias(std::int32_t*) override { throw std::bad_alloc(); }
  bool LocalToUnixTime(const SystemTime&, std::int64_t*) override { throw std::bad_alloc(); }
};

// --- -format: the same check, reported in the plugins' form or in the default one ---

TEST(CheckRun, ReportForms) {
  const Arguments nagios{"-task:Backup", "-timeframe:today", "-format:nagios"};
  const auto with = [](Arguments arguments, const Arguments& extra) {
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  const std::string two = "12/7/26 2:00:00 am";
  const std::string formatMessage =
      "Invalid format specified. Format should be scriptres, nagios, prometheus or json";
  const struct {
    Arguments arguments;
    Scenario setup;
    int exitStatus;
    std::string line;
    const char* reason;
  } cases[] = {
      {nagios, nullptr, 0, "TASK OK - Backup: " + two + " | age=36000s result=0",
       "a keyword window: no threshold"},
      {{"-task:Backup", "-timeframe:600", "-format:nagios"}, nullptr, 0,
       "TASK OK - Backup: " + two + " | age=36000s;;36000 result=0",
       "at the start of a minute window: the age is its length, the critical threshold"},
      {{"-task:Backup", "-timeframe:600", "-format:nagios"},
       [](FakePlatform& f) { f.clockReadings = {{2026, 12, 0, 7, 12, 0, 0, 400}}; }, 2,
       "TASK CRITICAL - Backup: " + two + " | age=36001s;;36000 result=0",
       "0.4 s past the window: the age rounds up, above the threshold"},
      {nagios, [](FakePlatform& f) { f.lastRunTime = {2026, 12, 0, 7, 12, 0, 1, 500}; }, 2,
       "TASK CRITICAL - Backup: 12/7/26 12:00:01 pm | age=-1s result=0",
       "a run after now: a negative age"},
      {with(nagios, {"-ignoreres"}), [](FakePlatform& f) { f.exitCode = 3; }, 0,
       "TASK OK - Backup: " + two + " | age=36000s result=3", "an ignored result is still shown"},
      {nagios, [](FakePlatform& f) { f.lastRunTime = SystemTime{}; }, 3,
       "TASK UNKNOWN - Backup: Invalid argument to date encode", "never ran: no numbers"},
      {{"-timeframe:today", "-format:NAGIOS"}, nullptr, 3,
       "TASK UNKNOWN - Scheduled Task name is required", "bad options: no task; the value lower-cased"},
      {with(nagios, {"-format:scriptres"}), nullptr, 0, Ok(two), "the last -format: wins"},
      {with(nagios, {"-format:"}), nullptr, 0, Ok(two), "an empty value: the default form"},
      {with(nagios, {"-format:xml"}), nullptr, 2, Unknown(formatMessage),
       "an unknown form: Unknown in the default form"},
      {{"-format:plugin", "-remotegmt:999"}, nullptr, 2, Unknown(formatMessage),
       "the format's message stands over every other"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    EXPECT_EQ(run.fake.output, Calls{c.line}) << c.reason;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "CoInitialize"), CountOf(run.fake.calls, "CoUninitialize"))
        << c.reason;
  }
}

// With the help text the result line is the default one, whatever -format: said.
TEST(CheckRun, HelpKeepsTheDefaultForm) {
  const CheckRun afterSwitch({"/?", "-task:Backup", "-timeframe:today", "-format:nagios"});
  EXPECT_TRUE(afterSwitch.HelpShown());
  EXPECT_EQ(afterSwitch.ResultLine(), Unknown("TimeFrame is required"));
  EXPECT_EQ(afterSwitch.exitStatus, 2);

  // An error while parsing, after -format: was read.
  FakePlatform fake;
  ExhaustedTimeZone timeZone;
  Platform platform{fake, fake, fake, fake, fake, timeZone, fake, fake, fake, fake, fake};
  const int status = RunCheck({"-task:Backup", "-timeframe:today", "-format:nagios", "-remotegmt:0"},
                              platform, RegionalSettings{}, {});
  EXPECT_EQ(status, 2);
  EXPECT_GT(fake.output.size(), 1U);
  EXPECT_EQ(fake.output.back(), Unknown(std::bad_alloc().what()));
}

// -version prints the version line and does nothing else: no validation, no scheduler. The
// help text wins when asked for first, or when the command line could not be read.
TEST(CheckRun, VersionAnswersAlone) {
  const struct {
    Arguments arguments;
    bool version;
    const char* reason;
  } cases[] = {
      {{"-version"}, true, "alone"},
      {{"-task:a", "-timeframe:today", "-version"}, true, "a complete check is not run"},
      {{"-format:xml", "-remotegmt:781", "-version"}, true, "nothing is validated"},
      {{"-version", "-h"}, true, "a help switch that is not first asks for nothing"},
      {{"/?", "-version"}, false, "a help switch first wins"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments);
    if (c.version) {
      EXPECT_EQ(run.exitStatus, 0) << c.reason;
      EXPECT_EQ(run.fake.output, Calls{"runwarden " RUNWARDEN_VERSION}) << c.reason;
      EXPECT_EQ(run.fake.calls, Calls{}) << c.reason;
    } else {
      EXPECT_TRUE(run.HelpShown()) << c.reason;
      EXPECT_EQ(run.ResultLine(), Unknown("TimeFrame is required")) << c.reason;
    }
  }

  FakePlatform fake;
  ExhaustedTimeZone timeZone;
  Platform platform{fake, fake, fake, fake, fake, timeZone, fake, fake, fake, fake, fake};
  const int status = RunCheck({"-task:a", "-timeframe:today", "-remotegmt:0", "-version"},
                              platform, RegionalSettings{}, {});
  EXPECT_EQ(status, 2) << "a command line that could not be read";
  EXPECT_GT(fake.output.size(), 1U);
  EXPECT_EQ(fake.output.back(), Unknown(std::bad_alloc().what()));
}

// A clock that runs out of memory: errors that are no Exception end the check as Unknown
// with their own text, after the clean-up.
class ExhaustedClock final : public Clock {
 public:
  SystemTime GetLocalTime() override { throw std::bad_alloc(); }
  std::int64_t GetUnixTime() override { throw std::bad_alloc(); }
};

TEST(CheckRun, AnyOtherErrorIsUnknownAfterTheCleanUp) {
  FakePlatform fake;
  ExhaustedClock clock;
  Platform platform{fake, fake, fake, fake, clock, fake, fake, fake, fake, fake, fake};
  const int status =
      RunCheck({"-task:Backup", "-timeframe:today"}, platform, RegionalSettings{}, {});
  EXPECT_EQ(status, static_cast<int>(CheckStatus::Unknown));
  EXPECT_EQ(fake.output, Calls{Unknown(std::bad_alloc().what())});
  EXPECT_EQ(fake.calls.back(), "CoUninitialize");
  EXPECT_EQ(fake.liveObjects, 0);
}

// The command line is text in the system's code page: it is split and its keys removed by
// that code page's lead bytes, while the date text follows the locale's. Both ways round,
// with a double-byte code page (lead bytes 0x81-0x9F, 0xE0-0xFC) on one side only.
TEST(RunProgram, ArgumentsFollowTheSystemsCodePageAndDatesTheLocales) {
  CodePageInfo doubleByte{2, {0x81, 0x9F, 0xE0, 0xFC}};
  const CodePageInfo singleByte{1, {}};
  const struct {
    bool doubleByteSystem;  // else the locale's code page is the double-byte one
    std::string commandLine;
    std::string line;
    std::string opened;  // the name handed to Activate, or empty when none is
    const char* reason;
  } cases[] = {
      {false, "runwarden.exe -task:rw_b\xFC -timeframe:today", Ok("\x83m 12/7/26 2:00:00 am"),
       "rw_b\xFC", "0xFC ends a name in a single-byte system code page"},
      {true, "runwarden.exe -task:rw_b\xFC -timeframe:today", Unknown("TimeFrame is required"),
       "", "a lead byte of the system's code page takes the blank after it"},
      {false, "runwarden.exe -task:caf\x9E-TASK:x -timeframe:today",
       Ok("\x83m 12/7/26 2:00:00 am"), "caf\x9Ex", "every key text is removed"},
      {true, "runwarden.exe -task:caf\x9E-TASK:x -timeframe:today",
       Ok("\x83" "12 12/7/26 2:00:00 am"), "caf\x9E-TASK:x",
       "a key text after a lead byte is no key text"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.clockReadings = {kNow};
    fake.lastRunTime = kTwoToday;
    fake.upperCase = {{0x9E, 0x8E}};  // as CharUpperBuffA in code page 1252
    fake.codePages[kAnsiCodePage] = c.doubleByteSystem ? doubleByte : singleByte;
    fake.codePages[932] = c.doubleByteSystem ? singleByte : doubleByte;
    fake.localeInfo[kLocaleIDefaultAnsiCodePage] = "932";
    fake.localeInfo[kLocaleSShortDate] = "\x83m m/d/yy";  // the m after 0x83 is a trail byte
    const int status = RunProgram({true, c.commandLine, {}}, fake.platform());
    ASSERT_EQ(fake.output.size(), 1u) << c.reason;
    EXPECT_EQ(fake.output.back(), c.line) << c.reason;
    EXPECT_EQ(status, static_cast<int>(c.opened.empty() ? CheckStatus::Unknown : CheckStatus::Ok))
        << c.reason;
    EXPECT_EQ(CountOf(fake.calls, "Activate(" + c.opened + ", IID_ITask)"), c.opened.empty() ? 0 : 1)
        << c.reason;
  }
}

}  // namespace
}  // namespace runwarden

namespace runwarden {
namespace {

// --- the machine-read forms, the output file, and UTF-8 from the system's code page ---

// Unix times are read for the forms that show them, and only there, so that the calls of
// the other forms stay as they were; the last run goes through the zone's rules.
TEST(CheckRun, UnixTimesOnlyForTheFormsThatShowThem) {
  const struct {
    std::string format;
    long reads;
    const char* reason;
  } cases[] = {
      {"scriptres", 0, "the default form"},
      {"nagios", 0, "the plugins' form"},
      {"prometheus", 1, "the exposition"},
      {"json", 1, "the document"},
  };
  for (const auto& c : cases) {
    const CheckRun run({"-task:Backup", "-timeframe:today", "-format:" + c.format},
                       [](FakePlatform& f) { f.standardBias = -60; });
    EXPECT_EQ(CountOf(run.fake.calls, "TzSpecificLocalTimeToSystemTime(2026-12-7 2:0:0)"), c.reads)
        << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "GetSystemTimeAsFileTime"), c.reads) << c.reason;
  }
  const CheckRun json({"-task:Backup", "-timeframe:today", "-format:json"},
                      [](FakePlatform& f) { f.standardBias = -60; });
  EXPECT_NE(json.ResultLine().find("\"checked_at\":1796644800,"), std::string::npos);
  EXPECT_NE(json.ResultLine().find("\"last_run\":1796605200,"), std::string::npos)
      << "2:00 local an hour east of UTC";
  EXPECT_EQ(json.fake.written.back(), '\n');
  EXPECT_EQ(json.fake.written.find('\r'), std::string::npos) << "LF alone, also on Windows";

  const CheckRun unconvertible({"-task:Backup", "-timeframe:today", "-format:json"},
                               [](FakePlatform& f) { f.localTimesConvert = false; });
  EXPECT_EQ(unconvertible.ResultLine().find("\"last_run\":"), std::string::npos)
      << "a time the zone cannot convert is left out";
  EXPECT_EQ(unconvertible.exitStatus, 0);
}

TEST(CheckRun, OutputFile) {
  const Arguments check{"-task:Backup", "-timeframe:today"};
  const auto with = [&](const Arguments& extra) {
    Arguments arguments = check;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  const auto fails = [](FakePlatform& f) {
    f.replaceFileResult = 3;
    f.systemMessage = "The system cannot find the path specified.\r\n";
  };
  const std::string unwritable =
      "Cannot write output file \"C:\\no\\a.prom\": The system cannot find the path specified.";
  const std::string invalid = "Invalid output file specified. The path should name a file";
  const struct {
    Arguments arguments;
    Scenario setup;
    std::map<std::string, std::string> files;
    std::string console;
    int exitStatus;
    const char* reason;
  } cases[] = {
      {with({"-outfile:C:\\out\\a.txt"}), nullptr,
       {{"C:\\out\\a.txt", Ok("12/7/26 2:00:00 am") + "\r\n"}}, "", 0,
       "the default form into the file, with the platform's line end"},
      {with({"-outfile:a.json", "-format:json"}), nullptr, {{"a.json", "JSON"}}, "", 0,
       "the document into the file"},
      {with({"-outfile:", "-outfile:"}), nullptr, {}, Ok("12/7/26 2:00:00 am") + "\r\n", 0,
       "an empty value: standard output"},
      {{"-task:Backup", "-outfile:a.txt"}, nullptr, {{"a.txt", Unknown("TimeFrame is required") + "\r\n"}},
       "", 2, "an answer of the options goes where the options say"},
      {with({"-outfile:C:\\no\\a.prom"}), fails, {}, Unknown(unwritable) + "\r\n", 2,
       "a file that cannot be written: Unknown on standard output, with the system's reason"},
      {with({"-outfile:C:\\no\\a.prom", "-format:nagios"}), fails, {},
       "TASK UNKNOWN - Backup: " + unwritable + "\r\n", 3, "in the form asked for"},
      {with({"-outfile:C:\\out\\"}), nullptr, {}, Unknown(invalid) + "\r\n", 2,
       "a folder: no file is written"},
      {with({"-outfile:/tmp/", "-format:xml"}), nullptr, {},
       Unknown("Invalid format specified. Format should be scriptres, nagios, prometheus or json") +
           "\r\n",
       2, "an unknown form stands over the path, on standard output"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    std::map<std::string, std::string> files = run.fake.files;
    for (auto& [path, bytes] : files) {
      if (bytes.rfind("{\"status\":\"ok\"", 0) == 0 && bytes.ends_with("}\n")) bytes = "JSON";
    }
    EXPECT_EQ(files, c.files) << c.reason;
    EXPECT_EQ(run.fake.written, c.console) << c.reason;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "ReplaceFile("), c.console.empty() || c.setup ? 1 : 0)
        << c.reason;
  }
}

// A backslash that is the trail byte of a double-byte character ends no folder.
TEST(RunProgram, OutputFileNamesAreReadByTheSystemsLeadBytes) {
  FakePlatform fake;
  fake.clockReadings = {kNow};
  fake.lastRunTime = kTwoToday;
  fake.codePages[kAnsiCodePage] = {2, {0x81, 0x9F, 0xE0, 0xFC}};
  RunProgram({true, "runwarden.exe -task:Backup -timeframe:today -outfile:C:\\\x95\\", {}},
             fake.platform());
  EXPECT_EQ(fake.files.count("C:\\\x95\\"), 1U);
}

// The plugins' form in UTF-8, converted from the system's code page: a trail byte 0x7C of
// a double-byte character is no "|". The default form keeps the code page's bytes.
TEST(CheckRun, PluginFormInUtf8FromTheSystemsCodePage) {
  const std::string port = "\x83\x7C\x81\x5B\x83\x67X";  // ポートX in code page 932
  const std::string portUtf8 = "\xE3\x83\x9D\xE3\x83\xBC\xE3\x83\x88X";
  const auto system = [](std::uint32_t codePage) {
    return [codePage](FakePlatform& f) {
      f.ansiCodePage = codePage;
      f.doubleByteCharacters = {{"\x83\x7C", u'\u30DD'}, {"\x81\x5B", u'\u30FC'},
                                {"\x83\x67", u'\u30C8'}};
      f.activateResult = static_cast<HResult>(0x80070002);
      f.activateStoresObject = false;
    };
  };
  const struct {
    std::string task, format;
    std::uint32_t codePage;
    std::string line;
    const char* reason;
  } cases[] = {
      {port, "nagios", 932,
       "TASK CRITICAL - " + portUtf8 + ": Cannot find task \"" + portUtf8 + "\"; Error Code: 80070002",
       "the trail byte 0x7C is part of its character"},
      {port, "scriptres", 932, Bad("Cannot find task \"" + port + "\"; Error Code: 80070002"),
       "the default form stays in the code page"},
      {"r\xE5|x", "nagios", 1252,
       "TASK CRITICAL - r\xC3\xA5!x: Cannot find task \"r\xC3\xA5!x\"; Error Code: 80070002",
       "a Swedish letter of code page 1252; a real | still becomes !"},
      {"r\xE5", "nagios", kUtf8CodePage,
       "TASK CRITICAL - r\xE5: Cannot find task \"r\xE5\"; Error Code: 80070002",
       "a system whose texts are UTF-8 (Linux): the bytes as they are"},
  };
  for (const auto& c : cases) {
    const CheckRun run({"-task:" + c.task, "-timeframe:today", "-format:" + c.format},
                       system(c.codePage));
    EXPECT_EQ(run.fake.output, Calls{c.line}) << c.reason;
    const bool converted = c.format == "nagios" && c.codePage != kUtf8CodePage;
    EXPECT_EQ(CountOf(run.fake.calls, "WideCharToMultiByte(65001, 0, ") > 0, converted) << c.reason;
  }
}

// On a system whose code page is not UTF-8 a pattern's task names go from the scheduler's
// UTF-16 straight to UTF-8, while the check's own texts are converted from the code page.
TEST(CheckRun, PatternNamesReachTheMachineFormsFromUtf16) {
  const CheckRun run({"-task:b*", "-timeframe:today", "-format:prometheus", "-host:h\xE9"},
                     [](FakePlatform& f) {
                       f.ansiCodePage = 1252;
                       f.listedTasks = {"b\xFC"};
                     });
  const std::string labels = "{task=\"b\xC3\xBC\",host=\"h\xC3\xA9\",timeframe=\"today\"}";
  EXPECT_NE(run.fake.written.find("runwarden_task_last_exit_code" + labels + " 0\n"),
            std::string::npos)
      << run.fake.written;
  EXPECT_EQ(run.exitStatus, 0);
}

}  // namespace
}  // namespace runwarden
