#pragma once
// A calendar expression in the normalised form a systemd manager gives it
// (TimersCalendar): "Mon..Fri *-*-* 04:00:00", "*-02~03 00:00:00", "*-*-* *:00/15:00",
// "2024-*-01 12:00:30.500000 Europe/Berlin".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runwarden {

// One item of a component's comma list: start[..stop][/repeat]. stop -1: none; repeat 0:
// none. Seconds are in microseconds.
struct CalendarItem {
  std::int64_t start = 0, stop = -1, repeat = 0;
  friend bool operator==(const CalendarItem&, const CalendarItem&) = default;
};

// A component's items; empty matches every value.
using CalendarComponent = std::vector<CalendarItem>;

struct CalendarEvent {
  std::uint8_t weekdays = 0x7f;  // bit 0 Monday .. bit 6 Sunday
  CalendarComponent year, month, day, hour, minute, second;
  bool endOfMonth = false;  // day counts back from the month's end ("~"): 1 the last day
  bool utc = false;
  std::string zone;  // a zone name of the tz database; "" local
};

// The expression, or none when it is not in the normalised form.
std::optional<CalendarEvent> ParseCalendarEvent(std::string_view text);

// The largest value at or below limit (and at or above 0) that the component matches, or
// -1. An empty component matches each value up to its limit.
std::int64_t PreviousMatch(const CalendarComponent& component, std::int64_t limit);

}  // namespace runwarden
