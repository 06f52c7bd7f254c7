// The values that the machine-read forms show beyond the default form's: the last run's
// Unix time as exact as the scheduler keeps it, and a pattern's task names from UTF-16.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "fakes/fake_platform.h"
#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

// A scheduler that keeps the instant of a run (systemd) gives last_run exactly, whatever
// the local time says (an hour that daylight saving repeats names two instants) and
// whatever shift -remotegmt: gives the local time; the local time is converted only
// where the scheduler gives no such instant.
TEST(CheckRun, TheSchedulersOwnInstantOfTheLastRunWins) {
  constexpr std::int64_t kOneAm = 1'796'605'200;  // 2026-12-07 01:00 UTC; the local time says 2:00
  const struct {
    std::string format;
    Arguments extra;
    std::optional<std::int64_t> microseconds;
    std::string shown;
    long conversions;
    const char* reason;
  } cases[] = {
      {"json", {}, kOneAm * 1'000'000 + 999'999, "\"last_run\":1796605200,", 0,
       "the instant, rounded down to its second as a local time's seconds are"},
      {"json", {"-remotegmt:120"}, kOneAm * 1'000'000, "\"last_run\":1796605200,", 0,
       "no shift: the instant is absolute"},
      {"prometheus", {}, kOneAm * 1'000'000,
       "runwarden_task_last_run_timestamp_seconds{task=\"Backup\",host=\"\",timeframe=\"today\"} "
       "1796605200\n", 0, "the exposition too"},
      {"json", {}, std::nullopt, "\"last_run\":1796608800,", 1,
       "no instant given (Windows): the local time by the zone's rules"},
  };
  for (const auto& c : cases) {
    Arguments arguments{"-task:Backup", "-timeframe:today", "-format:" + c.format};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const CheckRun run(arguments, [&](FakePlatform& f) { f.lastRunMicroseconds = c.microseconds; });
    EXPECT_NE(run.fake.written.find(c.shown), std::string::npos) << c.reason << run.fake.written;
    EXPECT_EQ(CountOf(run.fake.calls, "TzSpecificLocalTimeToSystemTime("), c.conversions) << c.reason;
    EXPECT_EQ(run.exitStatus, 0) << c.reason;
  }
}

// A name outside the system's code page (a Cyrillic letter on a Western system): the
// pattern's summary, the first line, names the task from its UTF-16 as the long output does.
TEST(CheckRun, PatternSummaryNamesTheTasksFromUtf16) {
  const std::string zhe = "\xD0\x96x";  // Жx in UTF-8
  const std::string failed = ": 12/7/26 2:00:00 am Last Result : 1";
  const struct {
    std::string format, shown;
  } cases[] = {
      {"nagios", "TASK CRITICAL - *x: 1 task matched, 1 failed; " + zhe + failed + " | "},
      {"json", "\"plugin_output\":\"TASK CRITICAL - *x: 1 task matched, 1 failed; " + zhe + failed +
                   "\\nCRITICAL - " + zhe + failed + "\","},
  };
  for (const auto& c : cases) {
    const CheckRun run({"-task:*x", "-timeframe:today", "-format:" + c.format}, [](FakePlatform& f) {
      f.ansiCodePage = 1252;
      f.listedTasks = {"bx"};
      f.wideListedNames = {{"bx", u"\u0416x"}};
      f.exitCode = 1;
    });
    EXPECT_NE(run.fake.written.find(c.shown), std::string::npos) << c.format << run.fake.written;
  }
}

}  // namespace
}  // namespace runwarden::check_run_test
