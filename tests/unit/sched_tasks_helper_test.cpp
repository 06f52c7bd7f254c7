#include "core/tasks/sched_tasks_helper.h"

#include <gtest/gtest.h>

#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"
#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::string>;

const std::string kCreate = "CoCreateInstance(CLSID_CTaskScheduler, null, 1, IID_ITaskScheduler)";
const std::string kCreateV2 = "CoCreateInstance(CLSID_TaskScheduler, null, 1, IID_ITaskService)";

// Runs Connect on a fresh helper; the fake records everything, the helper is destroyed
// before the calls are compared.
struct ConnectCase {
  const char* why;
  std::string host;
  HResult createResult;
  HResult targetResult;
  bool connected;
  std::string errorText;
  Calls calls;  // up to and including the helper's destruction
};

TEST(TSchedTasksHelper, ConnectTextsCallsAndReleases) {
  const std::string host511 = "\\\\" + std::string(509, 'h');
  const std::string host512 = "\\\\" + std::string(510, 'h');
  const ConnectCase cases[] = {
      {"local computer: no target, no name converted", "", 0, 0, true, "",
       {kCreate, "Release(scheduler)=0"}},
      {"remote computer reached", "\\\\backup01", 0, 0, true, "",
       {kCreate, "MultiByteToWideChar(0, 0, 10, 10)", "SetTargetComputer(\\\\backup01)",
        "Release(scheduler)=0"}},
      {"unreachable computer: its name as given, quoted; scheduler object kept until the end",
       "\\\\nohost", 0, static_cast<HResult>(0x80070035), false,
       "Cannot connect to computer: \"\\\\nohost\"; Error Code: 80070035",
       {kCreate, "MultiByteToWideChar(0, 0, 8, 8)", "SetTargetComputer(\\\\nohost)",
        "Release(scheduler)=0"}},
      {"a positive success code of SetTargetComputer is a failure", "\\\\pc", 0, 1, false,
       "Cannot connect to computer: \"\\\\pc\"; Error Code: 00000001",
       {kCreate, "MultiByteToWideChar(0, 0, 4, 4)", "SetTargetComputer(\\\\pc)",
        "Release(scheduler)=0"}},
      {"failed creation: nothing to release", "\\\\pc", static_cast<HResult>(0x80041315), 0,
       false, "Error in CoCreateInstance. Error Code: 80041315", {kCreate}},
      {"a positive success code of CoCreateInstance is a failure; what it stored is released",
       "", 1, 0, false, "Error in CoCreateInstance. Error Code: 00000001",
       {kCreate, "Release(scheduler)=0"}},
      {"host of 511 bytes converts whole", host511, 0, 0, true, "",
       {kCreate, "MultiByteToWideChar(0, 0, 511, 511)", "SetTargetComputer(" + host511 + ")",
        "Release(scheduler)=0"}},
      {"host of 512 bytes is refused without a conversion or a platform call", host512, 0, 0,
       false, "Cannot connect to computer: \"" + host512 + "\"; Error Code: 800700CE",
       {kCreate, "Release(scheduler)=0"}},
  };
  for (const ConnectCase& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.coCreateInstanceResult = c.createResult;
    fake.setTargetComputerResult = c.targetResult;
    {
      TSchedTasksHelper helper(fake, fake);
      EXPECT_EQ(helper.Connect(c.host), c.connected);
      EXPECT_EQ(helper.ErrorText(), c.errorText);
    }
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_EQ(fake.liveObjects, 0);
  }
}

TEST(TSchedTasksHelper, ConnectAgainReleasesTheEarlierSchedulerFirst) {
  FakePlatform fake;
  {
    TSchedTasksHelper helper(fake, fake);
    ASSERT_TRUE(helper.Connect(""));
    ASSERT_TRUE(helper.Connect(""));
    EXPECT_EQ(fake.liveObjects, 1);
  }
  EXPECT_EQ(fake.calls, (Calls{kCreate, "Release(scheduler)=0", kCreate, "Release(scheduler)=0"}));
}

struct OpenCase {
  const char* why;
  std::string name;
  HResult activateResult;
  bool storesObject;
  bool opened;
  std::string errorText;
  Calls calls;  // after Connect, up to and including the helper's destruction
};

TEST(TSchedTasksHelper, OpenTaskTextsCallsAndReleaseOrder) {
  const std::string name511(511, 'n');
  const std::string name512(512, 'n');
  const std::string name600(600, 'n');
  const OpenCase cases[] = {
      {"opened: ActivatedItem, then Task, then Scheduler released", "Backup", 0, true, true, "",
       {"MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)", "AddRef(Backup)=2",
        "Release(Backup)=1", "Release(Backup)=0", "Release(scheduler)=0"}},
      {"unknown task: its name as given, quoted; no Task Scheduler 2.0 to ask", "No Such Task",
       static_cast<HResult>(0x80070002), false, false,
       "Cannot find task \"No Such Task\"; Error Code: 80070002",
       {"MultiByteToWideChar(0, 0, 12, 12)", "Activate(No Such Task, IID_ITask)", kCreateV2,
        "Release(scheduler)=0"}},
      {"a positive success code of Activate is a failure; the stored item is still released",
       "Backup", 1, true, false, "Cannot find task \"Backup\"; Error Code: 00000001",
       {"MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)", "Release(Backup)=0",
        "Release(scheduler)=0"}},
      {"success without an object is no open task", "Backup", 0, false, false,
       "Cannot find task \"Backup\"; Error Code: 00000000",
       {"MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)",
        "Release(scheduler)=0"}},
      {"name of 511 bytes converts whole", name511, 0, true, true, "",
       {"MultiByteToWideChar(0, 0, 511, 511)", "Activate(" + name511 + ", IID_ITask)",
        "AddRef(" + name511 + ")=2", "Release(" + name511 + ")=1", "Release(" + name511 + ")=0",
        "Release(scheduler)=0"}},
      {"name of 512 bytes refused without a platform call", name512, 0, true, false,
       "Cannot find task \"" + name512 + "\"; Error Code: 800700CE", {"Release(scheduler)=0"}},
      {"name of 600 bytes refused without a platform call", name600, 0, true, false,
       "Cannot find task \"" + name600 + "\"; Error Code: 800700CE", {"Release(scheduler)=0"}},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.activateResult = c.activateResult;
    fake.activateStoresObject = c.storesObject;
    {
      TSchedTasksHelper helper(fake, fake);
      ASSERT_TRUE(helper.Connect(""));
      fake.calls.clear();
      EXPECT_EQ(helper.OpenTask(c.name), c.opened);
      EXPECT_EQ(helper.ErrorText(), c.errorText);
    }
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_EQ(fake.liveObjects, 0);
  }
}

TEST(TSchedTasksHelper, OpenTaskWithoutASchedulerFailsWithoutAPlatformCall) {
  FakePlatform fake;
  fake.coCreateInstanceResult = static_cast<HResult>(0x80040154);
  TSchedTasksHelper helper(fake, fake);
  EXPECT_FALSE(helper.Connect(""));
  fake.calls.clear();
  EXPECT_FALSE(helper.OpenTask("Backup"));
  EXPECT_EQ(helper.ErrorText(), "Cannot find task \"Backup\"; Error Code: 80004003");
  EXPECT_EQ(fake.calls, Calls{});
}

TEST(TSchedTasksHelper, FailedSecondOpenTaskLeavesTheEarlierTaskReadable) {
  FakePlatform fake;
  {
    TSchedTasksHelper helper(fake, fake);
    ASSERT_TRUE(helper.Connect(""));
    ASSERT_TRUE(helper.OpenTask("First"));
    // The second Activate fails with a positive code but stores an object: ActivatedItem
    // then holds the second object while Task keeps the first.
    fake.activateResult = 1;
    EXPECT_FALSE(helper.OpenTask("Second"));
    EXPECT_EQ(helper.ErrorText(), "Cannot find task \"Second\"; Error Code: 00000001");
    fake.calls.clear();
    EXPECT_EQ(helper.LastRunTime(), DateFromParts(2026, 12, 6) + TimeFromParts(2, 0, 0, 0));
    EXPECT_EQ(fake.calls, Calls{"GetMostRecentRunTime(First)"});
    fake.calls.clear();
  }
  // ActivatedItem (Second) first, then Task (First), then the scheduler.
  EXPECT_EQ(fake.calls,
            (Calls{"Release(Second)=0", "Release(First)=0", "Release(scheduler)=0"}));
  EXPECT_EQ(fake.liveObjects, 0);
}

TEST(TSchedTasksHelper, SecondSuccessfulOpenTaskReplacesTheTask) {
  FakePlatform fake;
  {
    TSchedTasksHelper helper(fake, fake);
    ASSERT_TRUE(helper.Connect(""));
    ASSERT_TRUE(helper.OpenTask("First"));
    fake.calls.clear();
    ASSERT_TRUE(helper.OpenTask("Second"));
    EXPECT_EQ(fake.calls, (Calls{"Release(First)=1", "MultiByteToWideChar(0, 0, 6, 6)",
                                 "Activate(Second, IID_ITask)", "AddRef(Second)=2",
                                 "Release(First)=0"}));
    fake.calls.clear();
    helper.LastExitCode();
    EXPECT_EQ(fake.calls, Calls{"GetExitCode(Second)"});
  }
  EXPECT_EQ(fake.liveObjects, 0);
}

TEST(TSchedTasksHelper, ErrorTextIsReplacedAndSurvivesALaterSuccess) {
  FakePlatform fake;
  TSchedTasksHelper helper(fake, fake);
  ASSERT_TRUE(helper.Connect(""));
  fake.activateResult = static_cast<HResult>(0x80070002);
  fake.activateStoresObject = false;
  EXPECT_FALSE(helper.OpenTask("A"));
  EXPECT_FALSE(helper.OpenTask("B"));
  EXPECT_EQ(helper.ErrorText(), "Cannot find task \"B\"; Error Code: 80070002");
  fake.activateResult = 0;
  fake.activateStoresObject = true;
  EXPECT_TRUE(helper.OpenTask("C"));
  EXPECT_EQ(helper.ErrorText(), "Cannot find task \"B\"; Error Code: 80070002");
}

struct LastRunCase {
  const char* why;
  SystemTime record;
  bool filled;               // false: the platform call fails without writing the record
  std::optional<DateTime> expected;
  std::string error;         // the conversion error's message when there is no value
};

TEST(TSchedTasksHelper, LastRunTimeConvertsTheRecordAndLetsConversionErrorsPass) {
  const LastRunCase cases[] = {
      {"a run time", {2026, 12, 0, 6, 15, 4, 5, 250}, true,
       DateFromParts(2026, 12, 6) + TimeFromParts(15, 4, 5, 250), ""},
      {"day of week is not looked at", {2026, 12, 6, 6, 0, 0, 0, 0}, true,
       DateFromParts(2026, 12, 6), ""},
      {"a task that never ran: all-zero record", {}, true, std::nullopt,
       "Invalid argument to date encode"},
      {"the call fills nothing: the record stays zero", {2026, 12, 0, 6, 1, 0, 0, 0}, false,
       std::nullopt, "Invalid argument to date encode"},
      {"no such day", {2026, 2, 0, 29, 0, 0, 0, 0}, true, std::nullopt,
       "Invalid argument to date encode"},
      {"no such hour", {2026, 12, 0, 6, 24, 0, 0, 0}, true, std::nullopt,
       "Invalid argument to time encode"},
  };
  for (const LastRunCase& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.lastRunTime = c.record;
    fake.fillLastRunTime = c.filled;
    fake.getMostRecentRunTimeResult = c.filled ? 0 : static_cast<HResult>(0x80004005);
    TSchedTasksHelper helper(fake, fake);
    ASSERT_TRUE(helper.Connect(""));
    ASSERT_TRUE(helper.OpenTask("Backup"));
    if (c.expected) {
      EXPECT_EQ(helper.LastRunTime(), *c.expected);
    } else {
      try {
        helper.LastRunTime();
        ADD_FAILURE() << "no conversion error";
      } catch (const ESchedTasksHelperError&) {
        ADD_FAILURE() << "a conversion error must not become a helper failure";
      } catch (const EConvertError& error) {
        EXPECT_EQ(error.Message(), c.error);
      }
    }
  }
}

TEST(TSchedTasksHelper, LastRunTimeWithoutAnOpenTaskIsZeroWithoutAPlatformCall) {
  FakePlatform fake;
  TSchedTasksHelper helper(fake, fake);
  EXPECT_EQ(helper.LastRunTime(), 0.0);  // before Connect
  ASSERT_TRUE(helper.Connect(""));
  fake.activateResult = static_cast<HResult>(0x80070002);
  fake.activateStoresObject = false;
  ASSERT_FALSE(helper.OpenTask("Missing"));
  fake.calls.clear();
  EXPECT_EQ(helper.LastRunTime(), 0.0);
  EXPECT_EQ(fake.calls, Calls{});
}

TEST(TSchedTasksHelper, LastExitCodeIsNotCheckedForErrors) {
  const struct {
    const char* why;
    bool filled;
    HResult result;
    std::uint32_t expected;
  } cases[] = {
      {"a failure code is not examined: the value stands", true, static_cast<HResult>(0x80004005),
       0x80000001u},
      {"a success code other than 0 is not examined either", true, 1, 0x80000001u},
      {"the call fills nothing: zero", false, static_cast<HResult>(0x80004005), 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.exitCode = 0x80000001u;
    fake.fillExitCode = c.filled;
    fake.getExitCodeResult = c.result;
    TSchedTasksHelper helper(fake, fake);
    ASSERT_TRUE(helper.Connect(""));
    ASSERT_TRUE(helper.OpenTask("Backup"));
    EXPECT_EQ(helper.LastExitCode(), c.expected);
  }
}

}  // namespace
}  // namespace runwarden
