#pragma once
// The time limit of a whole check (-timeout:). Started once the options are valid; from
// then on the scheduler calls end by its deadline where the platform can bound them, the
// check stops at its next step once the deadline has passed, and its one result is then
// "Check timed out after N seconds", Unknown, in the form asked for. Where a call does not
// return at all, the platform's watchdog writes that same output and ends the process.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "core/report_forms.h"
#include "platform/platform.h"

namespace runwarden {

// The seconds of a -timeout: value: decimal digits only, 1 to 2147483647; none otherwise.
std::optional<std::int32_t> ParseTimeoutSeconds(std::string_view text);

std::string TimedOutText(std::int32_t seconds);

class CheckTimeLimit {
 public:
  // Puts an output where the check's output goes; must not throw, as the watchdog calls it
  // on a thread of its own.
  using OutputWriter = std::function<void(const ReportOutput&)>;

  CheckTimeLimit(Platform& platform, OutputWriter write)
      : platform_(platform), write_(std::move(write)) {}
  CheckTimeLimit(const CheckTimeLimit&) = delete;
  CheckTimeLimit& operator=(const CheckTimeLimit&) = delete;

  // Starts the limit now, at most once. timedOut: the check's output should the deadline
  // pass, rendered in advance so that the watchdog has only to write it.
  void Start(std::int32_t seconds, ReportOutput timedOut);
  // Raises the timed-out failure once the deadline has passed; nothing without a limit.
  void Enforce() const;
  // Writes the check's own output, or the timed-out one once the deadline has passed,
  // unless the watchdog has written that; returns the exit status of the output.
  int Deliver(const ReportOutput& own);

 private:
  Platform& platform_;
  OutputWriter write_;
  std::optional<ReportOutput> timedOut_;  // none: no limit
  std::string timedOutText_;
};

}  // namespace runwarden
