#pragma once
// The time limit of a whole check: a deadline on the monotonic clock, and a watchdog that
// ends the process at it when the check itself cannot (a call that does not return).
// Exactly one of the two, the check or the watchdog, writes the check's output: whoever
// claims it first. The limit bounds the writing too: an output not written whole a moment
// after the deadline (a hung file system, a pipe nobody reads) is given up, and the process
// ends with the output's unwritten status.

#include <chrono>
#include <functional>

namespace runwarden {

class DeadlineTimer {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  virtual ~DeadlineTimer() = default;
  // Sets the deadline limit from now, returns it and arms the watchdog: should the output
  // not be claimed by then, the watchdog claims it, calls writeTimedOut on a thread of its
  // own and ends the process with the exit status that writeTimedOut returns. Should the
  // output, whoever claimed it, not be written by the deadline and a moment (less than a
  // second), the process ends with unwrittenStatus. Called at most once.
  virtual TimePoint StartDeadline(std::chrono::seconds limit, int unwrittenStatus,
                                  std::function<int()> writeTimedOut) = 0;
  // Whether the deadline has passed; false before StartDeadline.
  virtual bool DeadlinePassed() = 0;
  // Claims the output for the check: true when the check is to write it. When the watchdog
  // has claimed it first, the real timers do not return (the watchdog is ending the
  // process); false only from a timer that cannot end the process.
  virtual bool ClaimOutput() = 0;
  // The check has written the output it claimed: true, and the process ends by itself. When
  // the watchdog has given the output up first, the real timers do not return (the process
  // is ending with the unwritten status); false only from a timer that cannot end it.
  virtual bool OutputWritten() = 0;
};

}  // namespace runwarden
