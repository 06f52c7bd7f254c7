// The real Linux watchdog, in child processes: it ends a check that is stuck past its
// deadline with the timed-out output and status, writes nothing once the check has
// claimed the output, and gives up an output whose writing does not end.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

using namespace std::chrono_literals;

constexpr int kUnwritten = 5;

int WriteTimedOut() {
  std::fputs("timed out\n", stderr);
  return 3;
}

TEST(LinuxDeadlineTimerDeathTest, WatchdogEndsAStuckCheck) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EXIT(
      {
        LinuxDeadlineTimer timer;
        timer.StartDeadline(1s, kUnwritten, WriteTimedOut);
        std::this_thread::sleep_for(10s);  // a call that does not return
        _exit(0);
      },
      ::testing::ExitedWithCode(3), "^timed out\n$");
  // One second and the clean-up's grace, not the ten seconds of the call.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
}

TEST(LinuxDeadlineTimerDeathTest, WatchdogWritesNothingOnceTheCheckClaimedTheOutput) {
  EXPECT_EXIT(
      {
        LinuxDeadlineTimer timer;
        timer.StartDeadline(1s, kUnwritten, WriteTimedOut);
        if (!timer.ClaimOutput() || timer.DeadlinePassed() || !timer.OutputWritten()) _exit(1);
        std::this_thread::sleep_for(2s);  // past the deadline and the graces
        if (!timer.DeadlinePassed()) _exit(1);
        std::fputs("own\n", stderr);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "^own\n$");
}

// A write that does not end, the check's own or the watchdog's: the process ends with the
// unwritten status within the limit and a second, not after the ten seconds of the write.
TEST(LinuxDeadlineTimerDeathTest, GivesUpAWriteThatDoesNotEnd) {
  for (const bool checkWrites : {true, false}) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EXIT(
        {
          LinuxDeadlineTimer timer;
          timer.StartDeadline(1s, kUnwritten, [] {
            std::this_thread::sleep_for(10s);
            return 3;
          });
          if (checkWrites && !timer.ClaimOutput()) _exit(1);
          std::this_thread::sleep_for(10s);  // the check's write, or a call that does not return
          if (checkWrites) timer.OutputWritten();
          _exit(0);
        },
        ::testing::ExitedWithCode(kUnwritten), "^$")
        << (checkWrites ? "the check's write" : "the watchdog's write");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  }
}

TEST(LinuxDeadlineTimer, StopsAWatchdogThatHasNotFired) {
  const auto start = std::chrono::steady_clock::now();
  {
    LinuxDeadlineTimer timer;
    EXPECT_FALSE(timer.DeadlinePassed());
    timer.StartDeadline(std::chrono::seconds(2147483647), kUnwritten, WriteTimedOut);
    EXPECT_FALSE(timer.DeadlinePassed());
    EXPECT_TRUE(timer.ClaimOutput());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace runwarden
