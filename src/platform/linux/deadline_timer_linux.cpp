// The time limit of a check on Linux: the monotonic clock, and a watchdog thread as the
// backstop behind the waits that end by the deadline themselves.
#ifndef __linux__
#error "deadline_timer_linux.cpp belongs to the Linux build only"
#endif

#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// How long after the deadline the watchdog waits for the check's own clean-up (the waits
// ending, ssh stopped) before it ends the process without it.
constexpr std::chrono::milliseconds kCleanUpGrace{500};

}  // namespace

LinuxDeadlineTimer::~LinuxDeadlineTimer() {
  if (!watchdog_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  watchdog_.join();
}

DeadlineTimer::TimePoint LinuxDeadlineTimer::StartDeadline(std::chrono::seconds limit,
                                                           std::function<int()> writeTimedOut) {
  deadline_ = std::chrono::steady_clock::now() + limit;
  writeTimedOut_ = std::move(writeTimedOut);
  try {
    watchdog_ = std::thread(&LinuxDeadlineTimer::Watch, this);
  } catch (const std::system_error&) {
    // No thread to be had: the check goes on with its own waits bounded, without backstop.
  }
  return deadline_;
}

bool LinuxDeadlineTimer::DeadlinePassed() { return std::chrono::steady_clock::now() >= deadline_; }

bool LinuxDeadlineTimer::ClaimOutput() {
  if (!claimed_.exchange(true)) return true;
  for (;;) pause();  // the watchdog writes the output and ends the process
}

void LinuxDeadlineTimer::Watch() {
  {
    std::unique_lock lock(mutex_);
    if (stop_.wait_until(lock, deadline_ + kCleanUpGrace, [this] { return stopping_; })) return;
  }
  if (claimed_.exchange(true)) return;
  const int status = writeTimedOut_();
  std::fflush(nullptr);
  _exit(status);
}

}  // namespace runwarden
