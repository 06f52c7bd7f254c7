// -timeout: through the whole run: which values start a limit, where the check stops once
// the deadline has passed, what it then writes, and what the watchdog writes instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/check_run.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Lines = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

bool Has(const Lines& calls, const std::string& prefix) {
  return std::any_of(calls.begin(), calls.end(),
                     [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

// A run at noon in which the task last ran at 2:00 with exit code 0, unless setup says
// otherwise.
struct TimedRun {
  TimedRun(const Lines& arguments, const Scenario& setup = nullptr) {
    fake.clockReadings = {{2026, 12, 0, 7, 12, 0, 0, 0}};
    fake.lastRunTime = {2026, 12, 0, 7, 2, 0, 0, 0};
    fake.listedTasks = {"B1", "B2"};
    if (setup) setup(fake);
    exitStatus = RunCheck(arguments, fake.platform(), RegionalSettings{}, SystemLeadBytes{});
  }
  FakePlatform fake;
  int exitStatus;
};

const std::string kOk = "ScriptRes:Ok:12/7/26 2:00:00 am";
const std::string kTimedOut = "ScriptRes:Unknown:Check timed out after 5 seconds";

TEST(CheckTimeLimit, Values) {
  const std::string invalid =
      "ScriptRes:Unknown:Invalid timeout specified. Timeout should be a number of seconds in "
      "range 1..2147483647";
  const struct {
    std::string value;
    std::string started;  // the seconds of the limit, or empty for none
    const char* reason;
  } cases[] = {
      {"1", "1", "the shortest"},
      {"2147483647", "2147483647", "the longest"},
      {"025", "25", "leading zeros"},
      {"", "", "no value: no limit, as without the key"},
      {"0", "", "zero"},
      {"-1", "", "negative"},
      {"abc", "", "no number"},
      {"1x", "", "digits and more"},
      {"+5", "", "a sign"},
      {"0x10", "", "hexadecimal"},
      {" 5", "", "a blank"},
      {"2147483648", "", "one past the longest"},
  };
  for (const auto& c : cases) {
    const TimedRun run({"-task:Backup", "-timeframe:today", "-timeout:" + c.value});
    const Lines& calls = run.fake.calls;
    if (c.started.empty() && !c.value.empty()) {
      EXPECT_EQ(run.fake.output, Lines{invalid}) << c.reason;
      EXPECT_EQ(run.exitStatus, 2) << c.reason;
      EXPECT_TRUE(calls.empty()) << c.reason;
      continue;
    }
    EXPECT_EQ(run.fake.output, Lines{kOk}) << c.reason;
    if (c.started.empty()) {
      EXPECT_EQ(calls, TimedRun({"-task:Backup", "-timeframe:today"}).fake.calls) << c.reason;
      continue;
    }
    // Started after the options were read and checked, before COM.
    ASSERT_GE(calls.size(), 3u) << c.reason;
    EXPECT_EQ(Lines(calls.begin(), calls.begin() + 3),
              (Lines{"StartDeadline(" + c.started + ")", "SetCheckDeadline(" + c.started + ")",
                     "CoInitialize"}))
        << c.reason;
  }
}

// Each failure replaces the message before it: the timeout's stands over the time frame's,
// the format's over the timeout's.
TEST(CheckTimeLimit, ValidationOrder) {
  const TimedRun noFrame({"-task:Backup", "-timeout:0"});
  EXPECT_EQ(noFrame.fake.output.back().substr(0, 44), "ScriptRes:Unknown:Invalid timeout specified.");
  const TimedRun badFormat({"-task:Backup", "-timeframe:today", "-timeout:0", "-format:xml"});
  EXPECT_EQ(badFormat.fake.output.back().substr(0, 43), "ScriptRes:Unknown:Invalid format specified.");
  const TimedRun help({"/?", "-timeout:0"});
  EXPECT_EQ(help.fake.output.back(), "ScriptRes:Unknown:TimeFrame is required");
}

// Where the check stops once the deadline has passed: nothing more is asked of the
// scheduler, what was acquired is released, and the one result is the timed-out one.
TEST(CheckTimeLimit, ExpiryInEachPhase) {
  const Lines account{"-task:Backup", "-timeframe:today", "-user:backup", "-pswd:secret",
                      "-timeout:5"};
  const Lines pattern{"-task:B*", "-timeframe:today", "-timeout:5"};
  const Lines one{"-task:Backup", "-timeframe:today", "-timeout:5"};
  const auto passesAfter = [](std::string call) {
    return [call](FakePlatform& f) { f.deadlinePassesAfter = call; };
  };
  const struct {
    Lines arguments;
    Scenario setup;
    std::string made;     // a call that was made
    std::string notMade;  // a call that must not have been made
    const char* reason;
  } cases[] = {
      {account, passesAfter("WNetAddConnection2A"), "WNetAddConnection2A", "CoCreateInstance",
       "during the logon and the connection: the scheduler is not reached"},
      {pattern, passesAfter("Next("), "Next(64)", "Activate(", "while listing: no task is opened"},
      {pattern, passesAfter("GetExitCode(B1)"), "GetExitCode(B1)", "Activate(B2",
       "between the tasks of a pattern"},
      {one,
       [](FakePlatform& f) {
         f.deadlinePassesAfter = "Activate(";
         f.activateResult = static_cast<HResult>(0x80041315);  // a wait that ended by it
         f.activateStoresObject = false;
       },
       "Activate(Backup", "GetMostRecentRunTime", "a call that failed at the deadline"},
      {one, passesAfter("Release(scheduler)=0"), "GetExitCode(Backup)", "EndProcess",
       "during the clean-up of a complete check: its result came too late"},
  };
  for (const auto& c : cases) {
    const TimedRun run(c.arguments, c.setup);
    const Lines& calls = run.fake.calls;
    EXPECT_EQ(run.fake.output, Lines{kTimedOut}) << c.reason;
    EXPECT_EQ(run.exitStatus, 2) << c.reason;
    EXPECT_TRUE(Has(calls, c.made)) << c.reason;
    EXPECT_FALSE(Has(calls, c.notMade)) << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    EXPECT_EQ(Has(calls, "LogonUserA"), Has(calls, "CloseHandle")) << c.reason;
    EXPECT_EQ(Lines(calls.end() - 3, calls.end()),
              (Lines{"CoUninitialize", "ClaimOutput", "DeadlinePassed=true"}))
        << c.reason;
  }
}

TEST(CheckTimeLimit, CallsOfACheckInTime) {
  const TimedRun run({"-task:Backup", "-timeframe:today", "-remotegmt:0", "-timeout:5"});
  EXPECT_EQ(run.fake.output, Lines{kOk});
  EXPECT_EQ(run.fake.calls,
            (Lines{"GetTimeZoneInformation", "StartDeadline(5)", "SetCheckDeadline(5)",
                   "CoInitialize", "DeadlinePassed=false",
                   "CoCreateInstance(CLSID_CTaskScheduler, null, 1, IID_ITaskScheduler)",
                   "MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)",
                   "AddRef(Backup)=2", "GetMostRecentRunTime(Backup)", "GetLocalTime",
                   "GetLocalTime", "GetExitCode(Backup)", "Release(Backup)=1",
                   "Release(Backup)=0", "Release(scheduler)=0", "CoUninitialize", "ClaimOutput",
                   "DeadlinePassed=false"}));
}

// The timed-out result in each form, written by the check itself or by the watchdog; when
// the watchdog has written it, the check writes nothing.
TEST(CheckTimeLimit, TimedOutOutputInEachForm) {
  const struct {
    std::string format;
    std::string line;
    int exitStatus;
  } forms[] = {
      {"scriptres", kTimedOut, 2},
      {"nagios", "TASK UNKNOWN - Backup: Check timed out after 5 seconds", 3},
  };
  for (const auto& form : forms) {
    const Lines arguments{"-task:Backup", "-timeframe:today", "-timeout:5", "-format:" + form.format};
    const TimedRun byCheck(arguments, [](FakePlatform& f) { f.deadlinePassesAfter = "Activate("; });
    EXPECT_EQ(byCheck.fake.output, Lines{form.line}) << form.format;
    EXPECT_EQ(byCheck.exitStatus, form.exitStatus) << form.format;

    const TimedRun byWatchdog(arguments, [](FakePlatform& f) { f.watchdogFiresIn = "Activate("; });
    EXPECT_EQ(byWatchdog.fake.output, Lines{form.line}) << form.format;
    EXPECT_EQ(byWatchdog.exitStatus, form.exitStatus) << form.format;
    EXPECT_EQ(byWatchdog.fake.calls.back(), "EndProcess(" + std::to_string(form.exitStatus) + ")")
        << form.format;
  }
}

}  // namespace
}  // namespace runwarden
