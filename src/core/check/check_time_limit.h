#pragma once
// The time limit of a whole check (-timeout:). Started once the options are valid; from
// then on the scheduler calls end by its deadline where the platform can bound them, the
// check stops at its next step once the deadline has passed, and its one result is then
// "Check timed out after N seconds", Unknown, in the form asked for. Where a call does not
// return at all, the platform's watchdog writes that same output and ends the process; where
// the output is not written whole in time (a hung file system, a pipe nobody reads), it is
// given up and the process ends with the form's Unknown status.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace runwarden {

// The seconds of a -timeout: value: decimal digits only, 1 to 2147483647; none otherwise.
std::optional<std::int32_t> ParseTimeoutSeconds(std::string_view text);

std::string TimedOutText(std::int32_t seconds);

class CheckTimeLimit {
 public:
  // Writes an output where the check's output goes and returns its exit status. The
  // watchdog calls the timed-out one on a thread of its own: it must not throw.
  using Delivery = std::function<int()>;

  explicit CheckTimeLimit(Platform& platform) : platform_(platform) {}
  CheckTimeLimit(const CheckTimeLimit&) = delete;
  CheckTimeLimit& operator=(const CheckTimeLimit&) = delete;

  // Starts the limit now, at most once; deliverTimedOut writes the timed-out result, and
  // unwrittenStatus is the exit status when no output could be written in time.
  void Start(std::int32_t seconds, int unwrittenStatus, Delivery deliverTimedOut);
  // Raises the timed-out failure once the deadline has passed; nothing without a limit.
  void Enforce() const;
  // Writes the check's own output by deliverOwn, or the timed-out one once the deadline has
  // passed, unless the watchdog has written that; returns the exit status of the output, or
  // the unwritten status when the writing was given up.
  int Deliver(const Delivery& deliverOwn);

 private:
  Platform& platform_;
  Delivery deliverTimedOut_;  // empty: no limit
  int watchdogStatus_ = 0;    // the exit status of what the watchdog wrote
  int unwrittenStatus_ = 0;
  std::string timedOutText_;
};

}  // namespace runwarden
