#include "core/check/time_frames.h"

#include <array>

#include "core/calendar/integer_text.h"
#include "core/calendar/text_rules.h"

namespace runwarden {
namespace {

constexpr std::array<std::string_view, 7> kKeywords{"today",      "yesterday",  "this_week",
                                                     "last_week",  "this_month", "last_month",
                                                     "schedule"};

constexpr double kSecondsPerDay = 86400;

}  // namespace

bool FindTimeFrame(std::string_view text, TimeFrameKind& kind) {
  for (std::size_t index = 0; index < kKeywords.size(); ++index) {
    if (TextEquals(text, kKeywords[index])) {
      kind = static_cast<TimeFrameKind>(index);
      return true;
    }
  }
  return false;
}

bool ReadTimeFrame(std::string_view text, std::int32_t& minutes, TimeFrameKind& kind) {
  // The error position is not looked at: text that begins with digits counts by them.
  minutes = ParseInteger(text).value;
  return minutes != 0 || (!text.empty() && FindTimeFrame(text, kind));
}

TimeWindow ComputeTimeWindow(std::int32_t minutes, TimeFrameKind kind, Clock& clock) {
  TimeWindow window;
  if (minutes > 0) {
    const std::int64_t seconds = std::int64_t{minutes} * 60;  // up to about 1.3e11
    window.Now = CurrentDateTime(clock);
    window.WindowStart = window.Now - static_cast<double>(seconds) / kSecondsPerDay;
    window.WindowEnd = CurrentDateTime(clock);
    return window;
  }
  window.Now = CurrentDateTime(clock);
  const DateParts date = SplitDate(window.Now);
  const DateTime today = DateFromParts(date.year, date.month, date.day);
  switch (kind) {
    case TimeFrameKind::Today:
      window.WindowStart = today;
      window.WindowEnd = CurrentDateTime(clock);
      break;
    case TimeFrameKind::Yesterday:
      window.WindowStart = today - 1;
      window.WindowEnd = window.WindowStart + 1;
      break;
    case TimeFrameKind::ThisWeek:
      window.WindowStart = today - WeekdayNumber(CurrentDateTime(clock)) + 1;
      window.WindowEnd = CurrentDateTime(clock);
      break;
    case TimeFrameKind::LastWeek:
      window.WindowStart = today - WeekdayNumber(CurrentDateTime(clock)) - 7 + 1;
      window.WindowEnd = window.WindowStart + 7;
      break;
    case TimeFrameKind::ThisMonth:
      window.WindowStart = DateFromParts(date.year, date.month, 1);
      window.WindowEnd = CurrentDateTime(clock);
      break;
    case TimeFrameKind::LastMonth:
      window.WindowEnd = DateFromParts(date.year, date.month, 1);
      window.WindowStart = ShiftMonths(window.WindowEnd, -1);
      break;
    case TimeFrameKind::Schedule:
      window.WindowEnd = CurrentDateTime(clock);
      window.WindowStart = window.WindowEnd;
      break;
  }
  return window;
}

}  // namespace runwarden
