// -timeout: through the whole run: which values start a limit, where the check stops once
// the deadline has passed, what it then writes, and what the watchdog writes instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/check/check_run.h"
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
      {"2147483648", "", "one past the longest"},
  };
  const Lines check{"-task:Backup", "-timeframe:today", "-remotegmt:0"};
  const Lines withoutKey = TimedRun(check).fake.calls;
  for (const auto& c : cases) {
    Lines arguments = check;
    arguments.push_back("-timeout:" + c.value);
    const TimedRun run(arguments);
    const Lines& calls = run.fake.calls;
    if (c.started.empty() && !c.value.empty()) {
      EXPECT_EQ(run.fake.output, Lines{invalid}) << c.reason;
      EXPECT_EQ(run.exitStatus, 2) << c.reason;
      EXPECT_EQ(calls, Lines{"GetTimeZoneInformation"}) << c.reason;
      continue;
    }
    EXPECT_EQ(run.fake.output, Lines{kOk}) << c.reason;
    if (c.started.empty()) {
      EXPECT_EQ(calls, withoutKey) << c.reason;
      continue;
    }
    // The calls of a check without the key, the limit started once the options were read
    // and checked, the deadline looked at before the scheduler is reached and at the end.
    Lines expected = withoutKey;
    expected.insert(expected.begin() + 1, {"StartDeadline(" + c.started + ")",
                                           "SetCheckDeadline(" + c.started + ")"});
    expected.insert(expected.begin() + 4, "DeadlinePassed=false");
    expected.insert(expected.end(), {"ClaimOutput", "DeadlinePassed=false"});
    EXPECT_EQ(calls, expected) << c.reason;
  }
}

// Each failure replaces the message before it. The output file's stands over the
// timeout's, as its answer goes to standard output, not where the caller looks for it.
TEST(CheckTimeLimit, ValidationOrder) {
  const struct {
    Lines arguments;
    std::string message;  // how the result line begins after "ScriptRes:Unknown:"
    const char* reason;
  } cases[] = {
      {{"-task:Backup", "-timeout:0"}, "Invalid timeout", "over the time frame's"},
      {{"-task:Backup", "-timeframe:today", "-timeout:0", "-outfile:out/"}, "Invalid output file",
       "the output file's over it"},
      {{"-task:Backup", "-timeframe:today", "-timeout:0", "-format:xml"}, "Invalid format",
       "the format's over it"},
      {{"/?", "-timeout:0"}, "TimeFrame is required", "the help text: nothing else is read"},
  };
  for (const auto& c : cases) {
    const TimedRun run(c.arguments);
    EXPECT_EQ(run.fake.output.back().rfind("ScriptRes:Unknown:" + c.message, 0), 0u) << c.reason;
  }
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

// The timed-out result in each form and into the output file, written by the check itself
// or by the watchdog, the same bytes either way; when the watchdog has written it, the check
// writes nothing.
TEST(CheckTimeLimit, TimedOutOutputInEachForm) {
  const struct {
    Lines extra;
    std::string part;  // a part of what is written
    int exitStatus;
  } forms[] = {
      {{}, kTimedOut + "\r\n", 2},
      {{"-format:nagios"}, "TASK UNKNOWN - Backup: Check timed out after 5 seconds\r\n", 3},
      {{"-format:prometheus"},
       "runwarden_check_status{task=\"Backup\",host=\"\",timeframe=\"today\",status=\"unknown\"} 1\n",
       2},
      {{"-format:json"},
       "\"plugin_output\":\"TASK UNKNOWN - Backup: Check timed out after 5 seconds\"", 2},
      {{"-outfile:C:\\out\\a.txt"}, kTimedOut + "\r\n", 2},
  };
  for (const auto& form : forms) {
    Lines arguments{"-task:Backup", "-timeframe:today", "-timeout:5"};
    arguments.insert(arguments.end(), form.extra.begin(), form.extra.end());
    const std::string context = form.extra.empty() ? "the default form" : form.extra[0];
    const TimedRun byCheck(arguments, [](FakePlatform& f) { f.deadlinePassesAfter = "Activate("; });
    const TimedRun byWatchdog(arguments, [](FakePlatform& f) { f.watchdogFiresIn = "Activate("; });
    const bool intoFile = context.rfind("-outfile:", 0) == 0;
    for (const TimedRun* run : {&byCheck, &byWatchdog}) {
      EXPECT_EQ(run->fake.files.size(), intoFile ? 1u : 0u) << context;
      const std::string written = intoFile ? run->fake.files.begin()->second : run->fake.written;
      EXPECT_NE(written.find(form.part), std::string::npos) << context << ": " << written;
      EXPECT_EQ(run->exitStatus, form.exitStatus) << context;
    }
    EXPECT_EQ(byWatchdog.fake.written, byCheck.fake.written) << context;
    EXPECT_EQ(byWatchdog.fake.files, byCheck.fake.files) << context;
    EXPECT_EQ(byWatchdog.fake.calls.back(), "EndProcess(" + std::to_string(form.exitStatus) + ")")
        << context;
  }
}

}  // namespace
}  // namespace runwarden
