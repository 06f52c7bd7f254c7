#include "core/check/check_time_limit.h"

#include <algorithm>
#include <chrono>

#include "core/calendar/errors.h"
#include "core/calendar/integer_text.h"

namespace runwarden {

std::optional<std::int32_t> ParseTimeoutSeconds(std::string_view text) {
  // No sign, blank or hexadecimal form, which ParseInteger would take.
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (text.empty() || !std::all_of(text.begin(), text.end(), digit)) return std::nullopt;
  const ParsedInteger parsed = ParseInteger(text);
  if (parsed.errorPosition != 0 || parsed.value < 1) return std::nullopt;
  return parsed.value;
}

std::string TimedOutText(std::int32_t seconds) {
  return "Check timed out after " + DecimalText(seconds) + " seconds";
}

void CheckTimeLimit::Start(std::int32_t seconds, int unwrittenStatus, Delivery deliverTimedOut) {
  deliverTimedOut_ = std::move(deliverTimedOut);
  unwrittenStatus_ = unwrittenStatus;
  timedOutText_ = TimedOutText(seconds);
  const auto deadline = platform_.deadline.StartDeadline(
      std::chrono::seconds(seconds), unwrittenStatus,
      [this] { return watchdogStatus_ = deliverTimedOut_(); });
  platform_.com.SetCheckDeadline(deadline);
}

void CheckTimeLimit::Enforce() const {
  if (deliverTimedOut_ && platform_.deadline.DeadlinePassed()) throw Exception(timedOutText_);
}

int CheckTimeLimit::Deliver(const Delivery& deliverOwn) {
  if (!deliverTimedOut_) return deliverOwn();
  if (!platform_.deadline.ClaimOutput()) return watchdogStatus_;  // the watchdog wrote it
  const int status = platform_.deadline.DeadlinePassed() ? deliverTimedOut_() : deliverOwn();
  return platform_.deadline.OutputWritten() ? status : unwrittenStatus_;
}

}  // namespace runwarden
