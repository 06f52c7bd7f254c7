#include <gtest/gtest.h>

#include "platform/linux/journal_linux.h"
#include "platform/linux/journal_run_linux.h"
#include "platform/linux/unit_run_record_linux.h"

namespace runwarden {
namespace {

constexpr const char* kExited = "98e322203f7a4ed290d09fe03c09fe15";
constexpr const char* kFailed = "d9b373ed55a64feb8242e02dbe79a49c";
constexpr const char* kSucceeded = "7ad2d189f7e94e70a38c781354912448";

JournalEntry Manager(std::uint64_t at, std::string id, std::string messageId = "",
                     std::string exitCode = "", std::string status = "",
                     std::string result = "") {
  JournalEntry entry;
  entry.realtime = at;
  entry.managerInvocation = std::move(id);
  entry.messageId = std::move(messageId);
  entry.exitCode = std::move(exitCode);
  entry.exitStatus = std::move(status);
  entry.unitResult = std::move(result);
  return entry;
}

JournalEntry Own(std::uint64_t at, std::string id, std::string message) {
  JournalEntry entry;
  entry.realtime = at;
  entry.ownInvocation = std::move(id);
  entry.message = std::move(message);
  return entry;
}

TEST(JournalRun, TheNewestInvocationGivesStartExitAndLines) {
  const struct {
    std::vector<JournalEntry> newestFirst;
    std::optional<std::uint64_t> start;
    std::uint32_t exitCode;
    std::vector<std::string> lines;
    const char* reason;
  } cases[] = {
      {{}, std::nullopt, 0, {}, "nothing in the journal"},
      {{Manager(30, "b", kFailed, "", "", "exit-code"), Manager(29, "b", kExited, "exited", "3"),
        Own(25, "b", "second"), Own(24, "b", "first"), Manager(20, "b"),
        Manager(12, "a", kSucceeded), Own(11, "a", "older run"), Manager(10, "a")},
       20, 3, {"first", "second"}, "a failed run after a good one: its start and lines only"},
      {{Manager(30, "b", kSucceeded), Manager(20, "b"), Manager(10, "a", kExited, "exited", "3")},
       20, 0, {}, "success after an older failure"},
      {{Manager(30, "c", kFailed, "", "", "signal"), Manager(29, "c", kExited, "killed", "9"),
        Manager(20, "c")},
       20, 137, {}, "killed: 128 + the signal"},
      {{Manager(30, "d", kFailed, "", "", "timeout"), Manager(20, "d")}, 20, 1, {},
       "a failure without a process exit is no success"},
      {{Own(25, "e", "still running"), Manager(20, "e")}, 20, 0, {"still running"},
       "no end logged: as the manager shows a running service"},
      {{Own(25, "f", "rotated")}, 0, 0, {"rotated"}, "the manager's messages are gone"},
  };
  for (const auto& c : cases) {
    const std::optional<JournalRun> run = LastRunOfEntries(c.newestFirst);
    ASSERT_EQ(run.has_value(), c.start.has_value()) << c.reason;
    if (!run) continue;
    EXPECT_EQ(run->start, *c.start) << c.reason;
    EXPECT_EQ(run->exitCode, c.exitCode) << c.reason;
    EXPECT_EQ(run->lines, c.lines) << c.reason;
  }
}

TEST(JournalRun, JsonLinesOfJournalctl) {
  JournalEntry entry;
  ASSERT_TRUE(ParseJournalJsonLine(
      R"({"__REALTIME_TIMESTAMP":"1765000000123456","INVOCATION_ID":"abc","EXIT_STATUS":"3",)"
      R"("MESSAGE":"caf\u00e9 \"x\" \ud83d\ude00 | end","_BOOT_ID":"z","UNIT_RESULT":null})",
      kSystemManagerFields, entry));
  EXPECT_EQ(entry.realtime, 1765000000123456u);
  EXPECT_EQ(entry.managerInvocation, "abc");
  EXPECT_EQ(entry.exitStatus, "3");
  EXPECT_EQ(entry.message, "caf\xC3\xA9 \"x\" \xF0\x9F\x98\x80 | end");
  EXPECT_EQ(entry.unitResult, "");

  ASSERT_TRUE(ParseJournalJsonLine(R"({"_SYSTEMD_INVOCATION_ID":"abc","MESSAGE":[104,105,7,255]})",
                                   kSystemManagerFields, entry));
  EXPECT_EQ(entry.ownInvocation, "abc");
  EXPECT_EQ(entry.message, "hi\a\xFF") << "bytes that are no text come as an array";

  for (const char* broken : {"", "{", R"({"MESSAGE":"open)", R"({"MESSAGE" "x"})", "[1]"}) {
    EXPECT_FALSE(ParseJournalJsonLine(broken, kSystemManagerFields, entry)) << broken;
  }
}

TEST(JournalRun, RemoteCommandQuotesTheUnit) {
  EXPECT_EQ(RemoteJournalCommand("a'b.service", ""),
            "journalctl -q --no-pager -o json --output-fields=INVOCATION_ID,"
            "_SYSTEMD_INVOCATION_ID,MESSAGE_ID,EXIT_CODE,EXIT_STATUS,UNIT_RESULT,MESSAGE -r -n 60 "
            "'UNIT=a'\\''b.service' _PID=1; echo; "
            "journalctl -q --no-pager -o json --output-fields=INVOCATION_ID,"
            "_SYSTEMD_INVOCATION_ID,MESSAGE_ID,EXIT_CODE,EXIT_STATUS,UNIT_RESULT,MESSAGE -r -n 60 "
            "'_SYSTEMD_UNIT=a'\\''b.service'");
}

TEST(JournalRun, RemoteCommandOfAUsersUnitMatchesTheUsersNumber) {
  const std::string command = RemoteJournalCommand("sync.service", "backup");
  EXPECT_TRUE(command.starts_with("uid=$(id -u -- 'backup') || exit 67; journalctl ")) << command;
  EXPECT_NE(command.find("--output-fields=USER_INVOCATION_ID,"), std::string::npos) << command;
  EXPECT_NE(command.find(" 'USER_UNIT=sync.service' \"_UID=$uid\"; echo; "), std::string::npos)
      << command;
  EXPECT_TRUE(command.ends_with(" '_SYSTEMD_USER_UNIT=sync.service' \"_UID=$uid\"")) << command;
}

// A journal whose one run is given; counts its lookups.
class KnownJournal final : public UnitJournal {
 public:
  KnownJournal(std::optional<JournalRun> run, bool cheap) : run_(std::move(run)), cheap_(cheap) {}
  bool Cheap() const override { return cheap_; }
  int lookups = 0;

 protected:
  std::optional<JournalRun> Read(const std::string&) override {
    ++lookups;
    return run_;
  }

 private:
  std::optional<JournalRun> run_;
  bool cheap_;
};

UnitRun ManagerRun(HResult result, std::uint64_t start = 0) {
  UnitRun run;
  run.result = result;
  run.record.lastStart = start;
  return run;
}

TEST(JournalRun, TheJournalStandsInWhereTheManagerForgot) {
  const JournalRun journalRun{2000, 3, {}};
  const struct {
    UnitRun manager;
    std::optional<JournalRun> journal;
    bool cheap;
    HResult result;
    std::uint64_t start;
    std::uint32_t exitCode;
    int lookups;
    const char* reason;
  } cases[] = {
      {ManagerRun(0), journalRun, false, 0, 2000, 3, 1, "never ran since loaded (a reboot)"},
      {ManagerRun(kUnknownTask), journalRun, false, 0, 2000, 3, 1, "a unit that is gone"},
      {ManagerRun(kUnknownTask), std::nullopt, true, kUnknownTask, 0, 0, 1, "gone, nothing in the journal"},
      {ManagerRun(0, 1000), journalRun, true, 0, 2000, 3, 1, "locally, an older run than the journal's"},
      {ManagerRun(0, 2001), journalRun, true, 0, 2001, 0, 1, "the manager's own start is a bit later"},
      {ManagerRun(0, 1000), journalRun, false, 0, 1000, 0, 0, "remotely, a known run costs no lookup"},
      {ManagerRun(0), JournalRun{0, 0, {"x"}}, true, 0, 0, 0, 1, "a journal run without a start"},
      {ManagerRun(static_cast<HResult>(0x80070005)), journalRun, true, static_cast<HResult>(0x80070005),
       0, 0, 0, "another failure stands"},
  };
  for (const auto& c : cases) {
    KnownJournal journal(c.journal, c.cheap);
    UnitRun run = c.manager;
    TakeJournalRun(journal, "backup.service", run);
    EXPECT_EQ(run.result, c.result) << c.reason;
    EXPECT_EQ(run.record.lastStart, c.start) << c.reason;
    EXPECT_EQ(run.record.exitCode, c.exitCode) << c.reason;
    EXPECT_EQ(journal.lookups, c.lookups) << c.reason;
  }
}

}  // namespace
}  // namespace runwarden
