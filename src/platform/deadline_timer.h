#pragma once
// The time limit of a whole check: a deadline on the monotonic clock, and a watchdog that
// ends the process at it when the check itself cannot (a call that does not return).
// Exactly one of the two, the check or the watchdog, writes the check's output: whoever
// claims it first.

#include <chrono>
#include <functional>

namespace runwarden {

class DeadlineTimer {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~DeadlineTimer() = default;
  // Sets the deadline limit from now, returns it and arms the watchdog: should the output
  // not be claimed by then, the watchdog claims it, calls writeTimedOut on a thread of its
  // own and ends the process with the exit status that writeTimedOut returns. Called at
  // most once.
  virtual TimePoint StartDeadline(std::chrono::seconds limit,
                                  std::function<int()> writeTimedOut) = 0;
  // Whether the deadline has passed; false before StartDeadline.
  virtual bool DeadlinePassed() = 0;
  // Claims the output for the check: true when the check is to write it. When the watchdog
  // has claimed it first, the real timers do not return (the watchdog is ending the
  // process); false only from a timer that cannot end the process.
  virtual bool ClaimOutput() = 0;
};

}  // namespace runwarden
