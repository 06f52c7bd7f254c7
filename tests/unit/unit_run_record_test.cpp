#include "platform/linux/unit_run_record_linux.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace runwarden {
namespace {

TEST(UnitNameOfTask, PlainNamesMeanTheService) {
  const struct {
    std::string task, unit, reason;
  } cases[] = {
      {"backup", "backup.service", "no suffix"},
      {"backup.service", "backup.service", "already a service"},
      {"backup.timer", "backup.timer", "a timer stays a timer"},
      {"backup.daily", "backup.daily.service", "a dot that is no unit type"},
      {"db@main", "db@main.service", "template instance"},
      {"home.mount", "home.mount", "another unit type is kept, to be refused later"},
      {"backup.Timer", "backup.Timer.service", "unit types are lower case"},
  };
  for (const auto& c : cases) EXPECT_EQ(UnitNameOfTask(c.task), c.unit) << c.reason;
}

TEST(ServiceExitCode, ExitStatusSignalOrSuccess) {
  const struct {
    std::int32_t code, status;
    std::string result;
    std::uint32_t expected;
    std::string reason;
  } cases[] = {
      {1, 0, "success", 0, "ran and exited 0"},
      {1, 3, "exit-code", 3, "exited 3"},
      {1, 255, "exit-code", 255, "largest exit status"},
      {2, 9, "signal", 137, "killed by SIGKILL"},
      {3, 11, "core-dump", 139, "dumped core on SIGSEGV"},
      {2, 15, "success", 0, "SIGTERM counts as a clean stop"},
      {1, 3, "success", 0, "3 listed among the unit's success statuses"},
      {0, 0, "success", 0, "never ran"},
      {0, 0, "start-limit-hit", 1, "failed before a main process ran: not a success"},
      {1, 0, "exit-code", 1, "main process exited 0 but a later command of the unit failed"},
      {1, 0, "timeout", 1, "main process exited 0 but the unit timed out"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ServiceExitCode(c.code, c.status, c.result), c.expected) << c.reason;
  }
}

class LocalTimeIn : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = std::getenv("TZ")) saved_ = tz, hadTz_ = true;
    setenv("TZ", "America/New_York", 1);
    tzset();
  }
  void TearDown() override {
    if (hadTz_) setenv("TZ", saved_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool hadTz_ = false;
};

TEST_F(LocalTimeIn, MicrosecondsBecomeLocalTimeWithMilliseconds) {
  // 2026-12-06 20:04:05.678901 UTC is 15:04:05.678 in New York (EST, UTC-5).
  const SystemTime t = LocalSystemTimeOfMicroseconds(1796587445678901ULL);
  EXPECT_EQ(t.wYear, 2026);
  EXPECT_EQ(t.wMonth, 12);
  EXPECT_EQ(t.wDay, 6);
  EXPECT_EQ(t.wDayOfWeek, 0);  // Sunday
  EXPECT_EQ(t.wHour, 15);
  EXPECT_EQ(t.wMinute, 4);
  EXPECT_EQ(t.wSecond, 5);
  EXPECT_EQ(t.wMilliseconds, 678);  // cut, not rounded
}

TEST_F(LocalTimeIn, NeverAndInfinityGiveAnAllZeroRecord) {
  for (std::uint64_t never : {std::uint64_t{0}, UINT64_MAX}) {
    const SystemTime t = LocalSystemTimeOfMicroseconds(never);
    EXPECT_EQ(t.wYear + t.wMonth + t.wDay + t.wHour + t.wMinute + t.wSecond + t.wMilliseconds, 0);
  }
}

}  // namespace
}  // namespace runwarden
