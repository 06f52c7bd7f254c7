// The time limit of a check on Linux: the monotonic clock, and a watchdog thread as the
// backstop behind the waits that end by the deadline themselves and behind the writing of
// the output.
#ifndef __linux__
#error "deadline_timer_linux.cpp belongs to the Linux build only"
#endif

#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <system_error>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// How long after the deadline the watchdog waits for the check's own clean-up (the waits
// ending, ssh stopped) before it ends the process without it.
constexpr std::chrono::milliseconds kCleanUpGrace{500};
// How long after the deadline the output may take to be written whole before it is given
// up: the process ends within the limit and a second.
constexpr std::chrono::milliseconds kWriteGrace{700};

using Output = LinuxDeadlineTimer::Output;

// Moves output from one of the states in from to to; false when it is in none of them.
bool Move(std::atomic<Output>& output, std::initializer_list<Output> from, Output to) {
  for (Output state : from) {
    if (output.compare_exchange_strong(state, to)) return true;
  }
  return false;
}

[[noreturn]] void WaitForTheEnd() {
  for (;;) pause();  // another thread is ending the process
}

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
                                                           int unwrittenStatus,
                                                           std::function<int()> writeTimedOut) {
  deadline_ = std::chrono::steady_clock::now() + limit;
  unwrittenStatus_ = unwrittenStatus;
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
  if (Move(output_, {Output::Open}, Output::CheckWriting)) return true;
  WaitForTheEnd();  // the watchdog writes the output and ends the process
}

bool LinuxDeadlineTimer::OutputWritten() {
  if (Move(output_, {Output::CheckWriting}, Output::Written)) return true;
  WaitForTheEnd();  // the watchdog has given the output up
}

bool LinuxDeadlineTimer::StoppedBefore(TimePoint then) {
  std::unique_lock lock(mutex_);
  return stop_.wait_until(lock, then, [this] { return stopping_; });
}

void LinuxDeadlineTimer::WriteTimedOut() {
  const int status = writeTimedOut_();
  std::fflush(nullptr);
  if (Move(output_, {Output::WatchdogWriting}, Output::Written)) _exit(status);
  WaitForTheEnd();
}

void LinuxDeadlineTimer::Watch() {
  if (StoppedBefore(deadline_ + kCleanUpGrace)) return;
  if (Move(output_, {Output::Open}, Output::WatchdogWriting)) {
    try {
      std::thread(&LinuxDeadlineTimer::WriteTimedOut, this).detach();
    } catch (const std::system_error&) {
      WriteTimedOut();  // no second thread: written here, without a bound
    }
  }
  if (StoppedBefore(deadline_ + kWriteGrace)) return;
  if (Move(output_, {Output::CheckWriting, Output::WatchdogWriting}, Output::GivenUp)) {
    _exit(unwrittenStatus_);
  }
}

}  // namespace runwarden
