// The real Linux watchdog, in child processes: it ends a check that is stuck past its
// deadline with the timed-out output and status, and writes nothing once the check has
// claimed the output.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <thread>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

using namespace std::chrono_literals;

int WriteTimedOut() {
  std::fputs("timed out\n", stderr);
  return 3;
}

TEST(LinuxDeadlineTimerDeathTest, WatchdogEndsAStuckCheck) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EXIT(
      {
        LinuxDeadlineTimer timer;
        timer.StartDeadline(1s, WriteTimedOut);
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
        timer.StartDeadline(1s, WriteTimedOut);
        if (!timer.ClaimOutput() || timer.DeadlinePassed()) _exit(1);
        std::this_thread::sleep_for(2s);  // past the deadline and the grace
        if (!timer.DeadlinePassed()) _exit(1);
        std::fputs("own\n", stderr);
        _exit(0);
      },
      ::testing::ExitedWithCode(0), "^own\n$");
}

TEST(LinuxDeadlineTimer, StopsAWatchdogThatHasNotFired) {
  const auto start = std::chrono::steady_clock::now();
  {
    LinuxDeadlineTimer timer;
    EXPECT_FALSE(timer.DeadlinePassed());
    timer.StartDeadline(std::chrono::seconds(2147483647), WriteTimedOut);
    EXPECT_FALSE(timer.DeadlinePassed());
    EXPECT_TRUE(timer.ClaimOutput());
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

}  // namespace
}  // namespace runwarden
