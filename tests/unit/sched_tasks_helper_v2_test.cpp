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

const std::string kCreateV2 = "CoCreateInstance(CLSID_TaskScheduler, null, 1, IID_ITaskService)";

// --- Task Scheduler 2.0: asked for the names that 1.0 does not know ---

struct V2OpenCase {
  const char* why;
  std::string host;  // given to Connect
  std::string name;
  HResult activateResult;
  HResult createResult, connectResult, folderResult, taskResult;  // 2.0
  bool opened;
  std::string errorText;
  Calls calls;  // after Connect, up to and including the helper's destruction
};

// The calls of a 2.0 lookup of a name of that many bytes in the local root folder.
Calls LocalRootLookup(const std::string& name) {
  const std::string bytes = std::to_string(name.size());
  return {"MultiByteToWideChar(0, 0, " + bytes + ", " + bytes + ")", "Activate(" + name + ", IID_ITask)",
          kCreateV2, "Connect(<empty>, <empty>, <empty>, <empty>)",
          "MultiByteToWideChar(0, 0, " + bytes + ", " + bytes + ")"};
}

Calls Concat(Calls head, const Calls& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// What the helper's destruction releases after a task was found through 2.0.
Calls ReleasedAfterV2(const std::string& folder, const std::string& task) {
  return {"AddRef(registered " + task + ")=2", "Release(registered " + task + ")=1",
          "Release(registered " + task + ")=0", "Release(folder " + folder + ")=0",
          "Release(service)=0", "Release(scheduler)=0"};
}

TEST(TSchedTasksHelper, OpenTaskAsksTaskScheduler2OnlyForNamesUnknownTo1) {
  const HResult notFound = static_cast<HResult>(0x80070002);
  const HResult pathNotFound = static_cast<HResult>(0x80070003);
  const std::string name512(512, 'n');
  const V2OpenCase cases[] = {
      {"found by 1.0: 2.0 is not asked", "", "Backup", 0, 0, 0, 0, 0, true, "",
       {"MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)", "AddRef(Backup)=2",
        "Release(Backup)=1", "Release(Backup)=0", "Release(scheduler)=0"}},
      {"in the 2.0 root only: local computer, empty VARIANTs, released in reverse", "",
       "Daily Backup", notFound, 0, 0, 0, 0, true, "",
       Concat(LocalRootLookup("Daily Backup"),
              Concat({"GetFolder(\\)", "GetTask(Daily Backup)"}, ReleasedAfterV2("\\", "Daily Backup")))},
      {"a leading backslash means the root", "", "\\Daily", notFound, 0, 0, 0, 0, true, "",
       Concat(LocalRootLookup("\\Daily"),
              Concat({"GetFolder(\\)", "GetTask(Daily)"}, ReleasedAfterV2("\\", "Daily")))},
      {"one folder level", "", "\\Backup\\Nightly", pathNotFound, 0, 0, 0, 0, true, "",
       Concat(LocalRootLookup("\\Backup\\Nightly"),
              Concat({"GetFolder(\\Backup)", "GetTask(Nightly)"},
                     ReleasedAfterV2("\\Backup", "Nightly")))},
      {"several levels, written without the leading backslash", "", "Backup\\Weekly\\Full",
       pathNotFound, 0, 0, 0, 0, true, "",
       Concat(LocalRootLookup("Backup\\Weekly\\Full"),
              Concat({"GetFolder(\\Backup\\Weekly)", "GetTask(Full)"},
                     ReleasedAfterV2("\\Backup\\Weekly", "Full")))},
      {"remote computer: Connect takes its name without the two backslashes", "\\\\srv",
       "Nightly", notFound, 0, 0, 0, 0, true, "",
       Concat({"MultiByteToWideChar(0, 0, 7, 7)", "Activate(Nightly, IID_ITask)", kCreateV2,
               "MultiByteToWideChar(0, 0, 5, 5)", "Connect(srv, <empty>, <empty>, <empty>)",
               "MultiByteToWideChar(0, 0, 7, 7)", "GetFolder(\\)", "GetTask(Nightly)"},
              ReleasedAfterV2("\\", "Nightly"))},
      {"an invalid 1.0 name (8007007B) is asked too; found by neither: the 1.0 answer", "",
       "a*b", static_cast<HResult>(0x8007007B), 0, 0, 0, notFound, false,
       "Cannot find task \"a*b\"; Error Code: 8007007B",
       Concat(LocalRootLookup("a*b"), {"GetFolder(\\)", "GetTask(a*b)", "Release(folder \\)=0",
                                       "Release(service)=0", "Release(scheduler)=0"})},
      {"access denied by 1.0 is no unknown name: 2.0 is not asked", "", "Backup",
       static_cast<HResult>(0x80070005), 0, 0, 0, 0, false,
       "Cannot find task \"Backup\"; Error Code: 80070005",
       {"MultiByteToWideChar(0, 0, 6, 6)", "Activate(Backup, IID_ITask)", "Release(scheduler)=0"}},
      {"2.0 cannot be made (an old system): the 1.0 answer", "", "\\Backup\\Nightly",
       pathNotFound, static_cast<HResult>(0x80040154), 0, 0, 0, false,
       "Cannot find task \"\\Backup\\Nightly\"; Error Code: 80070003",
       {"MultiByteToWideChar(0, 0, 15, 15)", "Activate(\\Backup\\Nightly, IID_ITask)", kCreateV2,
        "Release(scheduler)=0"}},
      {"2.0 cannot connect: the 1.0 answer; the service is released at the end", "", "Nightly",
       notFound, 0, static_cast<HResult>(0x80070005), 0, 0, false,
       "Cannot find task \"Nightly\"; Error Code: 80070002",
       {"MultiByteToWideChar(0, 0, 7, 7)", "Activate(Nightly, IID_ITask)", kCreateV2,
        "Connect(<empty>, <empty>, <empty>, <empty>)", "Release(service)=0",
        "Release(scheduler)=0"}},
      {"no such folder: no GetTask", "", "\\Nope\\Nightly", pathNotFound, 0, 0, pathNotFound, 0,
       false, "Cannot find task \"\\Nope\\Nightly\"; Error Code: 80070003",
       Concat(LocalRootLookup("\\Nope\\Nightly"),
              {"GetFolder(\\Nope)", "Release(service)=0", "Release(scheduler)=0"})},
      {"a positive code of GetTask is a failure; what it stored is released at once", "", "T",
       notFound, 0, 0, 0, 1, false, "Cannot find task \"T\"; Error Code: 80070002",
       Concat(LocalRootLookup("T"),
              {"GetFolder(\\)", "GetTask(T)", "Release(registered T)=0", "Release(folder \\)=0",
               "Release(service)=0", "Release(scheduler)=0"})},
      {"a path that ends in a backslash names no task", "", "\\Backup\\", pathNotFound, 0, 0, 0, 0,
       false, "Cannot find task \"\\Backup\\\"; Error Code: 80070003",
       Concat(LocalRootLookup("\\Backup\\"), {"Release(service)=0", "Release(scheduler)=0"})},
      {"512 bytes: refused without any platform call, 1.0 or 2.0", "", name512, 0, 0, 0, 0, 0,
       false, "Cannot find task \"" + name512 + "\"; Error Code: 800700CE",
       {"Release(scheduler)=0"}},
  };
  for (const V2OpenCase& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.activateResult = c.activateResult;
    fake.activateStoresObject = c.activateResult == 0;
    fake.serviceCreateResult = c.createResult;
    fake.serviceConnectResult = c.connectResult;
    fake.getFolderResult = c.folderResult;
    fake.getTaskResult = c.taskResult;
    {
      TSchedTasksHelper helper(fake, fake);
      ASSERT_TRUE(helper.Connect(c.host));
      fake.calls.clear();
      EXPECT_EQ(helper.OpenTask(c.name), c.opened);
      EXPECT_EQ(helper.ErrorText(), c.errorText);
    }
    EXPECT_EQ(fake.calls, c.calls);
    EXPECT_EQ(fake.liveObjects, 0);
  }
}

TEST(TSchedTasksHelper, TheLastTaskOpenedIsReadWhicheverInterfaceFoundIt) {
  FakePlatform fake;
  fake.serviceCreateResult = 0;
  {
    TSchedTasksHelper helper(fake, fake);
    ASSERT_TRUE(helper.Connect(""));
    ASSERT_TRUE(helper.OpenTask("First"));  // 1.0
    fake.activateResult = static_cast<HResult>(0x80070002);
    fake.activateStoresObject = false;
    fake.getTaskResult = static_cast<HResult>(0x80070002);
    EXPECT_FALSE(helper.OpenTask("Missing"));  // found by neither: First stays readable
    fake.getTaskResult = 0;
    fake.calls.clear();
    ASSERT_TRUE(helper.OpenTask("Second"));  // 2.0: the 1.0 task goes at once
    EXPECT_EQ(Calls(fake.calls.end() - 3, fake.calls.end()),
              (Calls{"AddRef(registered Second)=2", "Release(registered Second)=1",
                     "Release(First)=0"}));
    fake.calls.clear();
    helper.LastExitCode();
    EXPECT_EQ(fake.calls, Calls{"get_LastTaskResult(registered Second)"});
    fake.activateResult = 0;
    fake.activateStoresObject = true;
    ASSERT_TRUE(helper.OpenTask("Third"));  // 1.0 again: the 2.0 task goes
    fake.calls.clear();
    helper.LastExitCode();
    EXPECT_EQ(fake.calls, Calls{"GetExitCode(Third)"});
  }
  EXPECT_EQ(fake.liveObjects, 0);
}

// Code page 932 for the few characters of the test: 表 (95 5C) and 予 (97 5C) have a
// backslash byte as their trail byte.
class Cp932WideText final : public WideText {
 public:
  int MultiByteToWideChar(std::uint32_t, std::uint32_t, const char* bytes, int byteCount,
                          char16_t* buffer, int capacity) override {
    const std::map<std::string, char16_t> pairs = {
        {"\x95\x5C", u'\u8868'}, {"\x8E\xA6", u'\u793A'}, {"\x97\x5C", u'\u4E88'},
        {"\x92\xE8", u'\u5B9A'}};
    int units = 0;
    for (int i = 0; i < byteCount && units < capacity; ++i, ++units) {
      const auto byte = static_cast<unsigned char>(bytes[i]);
      if (byte < 0x80) {
        buffer[units] = byte;
      } else {
        buffer[units] = pairs.at(std::string(bytes + i, 2));
        ++i;
      }
    }
    return units;
  }
  int WideCharToMultiByte(std::uint32_t, std::uint32_t, const char16_t*, int, char*,
                          int) override {
    return 0;
  }
  std::uint32_t AnsiCodePage() override { return 932; }
};

TEST(TSchedTasksHelper, DoubleByteNamesReachBothInterfacesWhole) {
  FakePlatform fake;
  fake.KnowTasksOnlyThrough2(static_cast<HResult>(0x80070003));
  Cp932WideText cp932;
  {
    TSchedTasksHelper helper(fake, cp932);
    ASSERT_TRUE(helper.Connect(""));
    fake.calls.clear();
    // \表示\予定: split at the backslash bytes, the name would be cut inside 予.
    ASSERT_TRUE(helper.OpenTask("\\\x95\x5C\x8E\xA6\\\x97\x5C\x92\xE8"));
  }
  EXPECT_EQ(Calls(fake.calls.begin(), fake.calls.begin() + 5),
            (Calls{"Activate(\\\u8868\u793A\\\u4E88\u5B9A, IID_ITask)", kCreateV2,
                   "Connect(<empty>, <empty>, <empty>, <empty>)", "GetFolder(\\\u8868\u793A)",
                   "GetTask(\u4E88\u5B9A)"}));
}

// Reads the task "Nightly", which only Task Scheduler 2.0 knows, with read; none when
// that throws the never-ran error.
template <class Value>
std::optional<Value> ReadA2Task(FakePlatform& fake, Value (TSchedTasksHelper::*read)()) {
  fake.KnowTasksOnlyThrough2();
  TSchedTasksHelper helper(fake, fake);
  if (!helper.Connect("") || !helper.OpenTask("Nightly")) {
    ADD_FAILURE() << "not opened: " << helper.ErrorText();
    return std::nullopt;
  }
  try {
    return (helper.*read)();
  } catch (const EConvertError& error) {
    EXPECT_EQ(error.Message(), "Invalid argument to date encode");
    return std::nullopt;
  }
}

struct V2LastRunCase {
  const char* why;
  double date;  // the DATE that get_LastRunTime gives
  HResult result;
  bool filled;
  std::optional<DateTime> expected;  // none: the never-ran error
};

TEST(TSchedTasksHelper, A2LastRunPassesTheChecksOfA1Record) {
  const DateTime afternoon = DateFromParts(2026, 12, 6) + TimeFromParts(15, 4, 5, 250);
  const DateTime midnight = DateFromParts(2026, 12, 7);
  const double ms = 1.0 / kMillisecondsPerDay;
  const V2LastRunCase cases[] = {
      {"a run time with milliseconds", afternoon, 0, true, afternoon},
      {"0.4 ms more rounds down to the millisecond", afternoon + 0.4 * ms, 0, true, afternoon},
      {"0.6 ms more rounds up", afternoon + 0.6 * ms, 0, true,
       DateFromParts(2026, 12, 6) + TimeFromParts(15, 4, 5, 251)},
      {"0.4 ms before midnight is the next day", midnight - 0.4 * ms, 0, true, midnight},
      {"before 30 December 1899: the time still counts forward", -1.25, 0, true,
       DateFromParts(1899, 12, 29) - TimeFromParts(6, 0, 0, 0)},
      {"the result code is not examined otherwise", afternoon, static_cast<HResult>(0x80004005),
       true, afternoon},
      {"never ran: the status, whatever date comes with it", DateFromParts(1999, 11, 30),
       0x00041303, true, std::nullopt},
      {"never ran: a zero date", 0, 0, true, std::nullopt},
      {"no value given (Wine)", 0, static_cast<HResult>(0x80004001), false, std::nullopt},
      {"after 9999-12-31: no date", DateFromParts(9999, 12, 31) + 1, 0, true, std::nullopt},
      {"not a number: no date", std::numeric_limits<double>::quiet_NaN(), 0, true, std::nullopt},
  };
  for (const V2LastRunCase& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.registeredLastRun = c.date;
    fake.lastRunTimeResult = c.result;
    fake.fillRegisteredLastRun = c.filled;
    EXPECT_EQ(ReadA2Task(fake, &TSchedTasksHelper::LastRunTime), c.expected);
  }
}

TEST(TSchedTasksHelper, A2TaskResultIsJudgedAsAnExitCodeUnlessItIsAStatus) {
  const struct {
    const char* why;
    std::int32_t result;
    bool filled;
    std::optional<std::uint32_t> expected;  // none: the never-ran error
  } cases[] = {
      {"success", 0, true, 0u},
      {"an exit code", 3, true, 3u},
      {"running now (SCHED_S_TASK_RUNNING): no failure of the run that began", 0x41301, true, 0u},
      {"not yet run (SCHED_S_TASK_HAS_NOT_RUN): the never-ran answer", 0x41303, true,
       std::nullopt},
      {"terminated by the scheduler: an exit code", 0x41306, true, 0x41306u},
      {"the program could not start: an exit code, unsigned", static_cast<std::int32_t>(0x80070002),
       true, 2147942402u},
      {"no value given (Wine's E_NOTIMPL): 0", 5, false, 0u},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.lastTaskResult = c.result;
    fake.fillLastTaskResult = c.filled;
    EXPECT_EQ(ReadA2Task(fake, &TSchedTasksHelper::LastExitCode), c.expected);
  }
}

// A conversion that fails, or writes fewer units than bytes (a multi-byte code page).
class ScriptedWideText final : public WideText {
 public:
  explicit ScriptedWideText(std::u16string result) : result_(std::move(result)) {}
  int MultiByteToWideChar(std::uint32_t, std::uint32_t, const char*, int, char16_t* buffer,
                          int) override {
    result_.copy(buffer, result_.size());
    return static_cast<int>(result_.size());
  }
  int WideCharToMultiByte(std::uint32_t, std::uint32_t, const char16_t*, int, char*,
                          int) override {
    return 0;
  }
  std::uint32_t AnsiCodePage() override { return 1252; }

 private:
  std::u16string result_;
};

TEST(WideName, TerminatesAfterTheUnitsWrittenAndNeverOverruns) {
  // A long earlier conversion must not show through a shorter later one.
  testing::FakePlatform fake;
  ASSERT_EQ(FakePlatform::Narrow(WideName(fake, std::string(511, 'x'))), std::string(511, 'x'));

  ScriptedWideText failing(u"");
  EXPECT_EQ(std::u16string(WideName(failing, "Backup")), u"");

  ScriptedWideText fewer(u"Z\u00fcrich");  // "Zürich" as seven UTF-8 bytes, six units
  EXPECT_EQ(std::u16string(WideName(fewer, "Z\xc3\xbcrich")), u"Z\u00fcrich");

  LinuxWideText utf8;
  EXPECT_EQ(std::u16string(WideName(utf8, "Z\xc3\xbcrich")), u"Z\u00fcrich");
  EXPECT_EQ(WideName(utf8, std::string(512, 'x')), nullptr);
  EXPECT_EQ(std::u16string(WideName(utf8, "")), u"");
}

}  // namespace
}  // namespace runwarden
