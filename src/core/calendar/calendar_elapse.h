#pragma once
// When a calendar expression last elapsed, as a systemd manager counts its elapses:
// in the expression's zone, a local time that does not exist (skipped by a change to
// daylight saving) never elapses, and one that occurs twice elapses at its first occurrence.

#include <cstdint>
#include <string_view>

#include "core/calendar/calendar_event.h"
#include "platform/time_zone.h"

namespace runwarden {

struct CalendarElapse {
  enum class Status { kFound, kNone, kUnknownZone };
  Status status = Status::kNone;
  std::int64_t unixUsec = 0;  // with kFound
  friend bool operator==(const CalendarElapse&, const CalendarElapse&) = default;
};

// The latest elapse at or before limitUsec (microseconds since the Unix epoch), kNone when
// there is none since 1970. defaultZone: the zone of an expression without one ("" for
// this process's own); zones gives the zones' offsets.
CalendarElapse PreviousElapse(const CalendarEvent& event, std::int64_t limitUsec,
                              std::string_view defaultZone, TimeZone& zones);

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day);
struct CivilDate {
  std::int64_t year;
  unsigned month, day;
};
CivilDate CivilFromDays(std::int64_t days);

}  // namespace runwarden
