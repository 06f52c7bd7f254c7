#include "platform/posix/systemd_scheduler_linux.h"

#include <gtest/gtest.h>

#include <cerrno>
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

TEST(ResultOfBusFailure, WindowsCodesForTheSameSituation) {
  const struct {
    int error;
    std::string name;
    bool remote;
    HResult expected;
    std::string reason;
  } cases[] = {
      {-ENOENT, "org.freedesktop.systemd1.NoSuchUnit", false, kUnknownTask, "no such unit"},
      {-EINVAL, "org.freedesktop.DBus.Error.InvalidArgs", true, kUnknownTask, "not a unit name"},
      {-EACCES, "org.freedesktop.DBus.Error.AccessDenied", false, kAccessDenied, "bus policy"},
      {-EACCES, "", false, kAccessDenied, "socket not permitted"},
      {-EPERM, "", true, kAccessDenied, "operation not permitted"},
      {-EHOSTUNREACH, "org.freedesktop.DBus.Error.ServiceUnknown", true, kServiceNotRunning,
       "remote bus without a manager"},
      {-ENXIO, "org.freedesktop.DBus.Error.NameHasNoOwner", false, kServiceNotRunning,
       "local bus without a manager"},
      {-ENOENT, "", false, kServiceNotRunning, "no local bus socket"},
      {-ECONNREFUSED, "", false, kServiceNotRunning, "stale local bus socket"},
      {-ETIMEDOUT, "org.freedesktop.DBus.Error.Timeout", false, kServiceNotRunning,
       "local manager does not answer"},
      {-ETIMEDOUT, "org.freedesktop.DBus.Error.Timeout", true, kHostUnreachable,
       "remote computer does not answer"},
      {-ECONNRESET, "", true, kHostUnreachable, "connection to the remote computer lost"},
      {-ENOMEM, "", false, kFailure, "anything else"},
      {-EIO, "org.example.Strange", true, kFailure, "unknown D-Bus error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResultOfBusFailure(c.error, c.name, c.remote), c.expected) << c.reason;
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

TEST(Utf8FromUtf16, EncodesEveryPlaneAndReplacesLoneSurrogates) {
  const struct {
    std::u16string wide;
    std::string utf8, reason;
  } cases[] = {
      {u"backup.timer", "backup.timer", "ASCII"},
      {u"\u00e9t\u00e9", "\xC3\xA9t\xC3\xA9", "two-byte sequences"},
      {u"\u20ac", "\xE2\x82\xAC", "three-byte sequence"},
      {u"\U0001F600", "\xF0\x9F\x98\x80", "surrogate pair"},
      {std::u16string(1, char16_t{0xD800}) + u"x", "\xEF\xBF\xBDx", "lone high surrogate"},
      {std::u16string(1, char16_t{0xDC00}), "\xEF\xBF\xBD", "lone low surrogate"},
      {u"", "", "empty"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8FromUtf16(c.wide.c_str()), c.utf8) << c.reason;
}

}  // namespace
}  // namespace runwarden
