// The previous elapse of a calendar expression: a walk back over the local days, each
// day that matches the date searched from its latest matching time down.
#include "core/calendar/calendar_elapse.h"

#include <algorithm>
#include <optional>
#include <string>

namespace runwarden {
namespace {

constexpr std::int64_t kSecond = 1'000'000;
constexpr std::int64_t kDay = 86'400 * kSecond;

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }

unsigned DaysInMonth(std::int64_t year, unsigned month) {
  if (month != 2) return month == 4 || month == 6 || month == 9 || month == 11 ? 30 : 31;
  const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return leap ? 29 : 28;
}

// The offsets of one zone, UTC answered here.
class ZoneOffsets {
 public:
  ZoneOffsets(const CalendarEvent& event, std::string_view defaultZone, TimeZone& zones)
      : utc_(event.utc), zone_(event.zone.empty() ? std::string(defaultZone) : event.zone),
        zones_(zones) {}
  std::optional<std::int64_t> At(std::int64_t unixSeconds) {
    if (utc_) return 0;
    std::int32_t offset = 0;
    if (!zones_.ZoneOffsetAt(zone_, unixSeconds, &offset)) return std::nullopt;
    return offset;
  }

 private:
  bool utc_;
  std::string zone_;
  TimeZone& zones_;
};

// The moment of a local time in whole seconds: its first occurrence; none when it does not
// exist. The offsets a day before and after are the candidates (zones change at most once
// in two days).
std::optional<std::int64_t> FirstOccurrence(std::int64_t localSeconds, ZoneOffsets& offsets) {
  std::optional<std::int64_t> first;
  for (const std::int64_t probe : {localSeconds - 86'400, localSeconds + 86'400}) {
    const auto offset = offsets.At(probe);
    if (!offset) return std::nullopt;
    const std::int64_t moment = localSeconds - *offset;
    if (offsets.At(moment) == offset && (!first || moment < *first)) first = moment;
  }
  return first;
}

// Whether the day of the month matches, "~" days counted back from the month's end as the
// manager counts them: ~1 is the last day, a count beyond the month's start none.
bool DayMatches(const CalendarEvent& event, std::int64_t year, unsigned month, unsigned day) {
  if (event.day.empty()) return true;
  const auto fromEnd = [&](std::int64_t count) -> std::int64_t {
    const std::int64_t value = DaysInMonth(year, month) + 1 - count;
    return value >= 1 ? value : -1;
  };
  for (CalendarItem item : event.day) {
    if (event.endOfMonth) {
      item.start = fromEnd(item.start);
      if (item.stop >= 0) item.stop = fromEnd(item.stop);
      if (item.stop > 0) std::swap(item.start, item.stop);
    }
    if (day < item.start || (item.stop >= 0 && day > item.stop)) continue;
    if (item.repeat > 0 ? (day - item.start) % item.repeat == 0 : day == item.start) return true;
  }
  return false;
}

// The latest time of day (microseconds since midnight) at or before bound that the hour,
// minute and second components match; -1 for none.
std::int64_t PreviousTimeOfDay(const CalendarEvent& event, std::int64_t bound) {
  if (bound < 0) return -1;
  const std::int64_t hourBound = bound / (3600 * kSecond);
  const std::int64_t minuteBound = bound / (60 * kSecond) % 60;
  const std::int64_t secondBound = bound % (60 * kSecond);
  for (std::int64_t h = PreviousMatch(event.hour, std::min<std::int64_t>(hourBound, 23)); h >= 0;
       h = PreviousMatch(event.hour, h - 1)) {
    const std::int64_t minuteLimit = h == hourBound ? minuteBound : 59;
    for (std::int64_t m = PreviousMatch(event.minute, minuteLimit); m >= 0;
         m = PreviousMatch(event.minute, m - 1)) {
      const bool bounded = h == hourBound && m == minuteBound;
      const std::int64_t s = PreviousMatch(event.second, bounded ? secondBound : 60 * kSecond - 1);
      if (s >= 0) return (h * 3600 + m * 60) * kSecond + s;
    }
  }
  return -1;
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = FloorDiv(year, 400);
  const auto yoe = static_cast<unsigned>(year - era * 400);                // [0, 399]
  const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;  // [0, 365]
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;            // [0, 146096]
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = FloorDiv(days, 146097);
  const auto doe = static_cast<unsigned>(days - era * 146097);                  // [0, 146096]
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // [0, 365]
  const unsigned mp = (5 * doy + 2) / 153;                                      // [0, 11]
  const unsigned day = doy - (153 * mp + 2) / 5 + 1;                            // [1, 31]
  const unsigned month = mp < 10 ? mp + 3 : mp - 9;                             // [1, 12]
  return {static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2), month, day};
}

CalendarElapse PreviousElapse(const CalendarEvent& event, std::int64_t limitUsec,
                              std::string_view defaultZone, TimeZone& zones) {
  constexpr CalendarElapse kUnknownZone{CalendarElapse::Status::kUnknownZone, 0};
  ZoneOffsets offsets(event, defaultZone, zones);
  const std::int64_t limitSeconds = FloorDiv(limitUsec, kSecond);
  const auto offset = offsets.At(limitSeconds), dayBefore = offsets.At(limitSeconds - 86'400);
  if (!offset || !dayBefore) return kUnknownZone;
  // Local times after the limit's own can lie before it when the clocks went back.
  const std::int64_t localLimit = limitUsec + std::max(*offset, *dayBefore) * kSecond;
  std::int64_t days = FloorDiv(localLimit, kDay);
  std::int64_t bound = localLimit - days * kDay;
  while (days >= 0) {
    const CivilDate date = CivilFromDays(days);
    const std::int64_t year = PreviousMatch(event.year, date.year);
    if (year < 1970) break;
    if (year < date.year) {
      days = DaysFromCivil(year, 12, 31), bound = kDay - 1;
      continue;
    }
    const std::int64_t month = PreviousMatch(event.month, date.month);
    if (month < 1) {
      days = DaysFromCivil(year, 1, 1) - 1, bound = kDay - 1;
      continue;
    }
    if (month < date.month) {
      const auto m = static_cast<unsigned>(month);
      days = DaysFromCivil(year, m, DaysInMonth(year, m)), bound = kDay - 1;
      continue;
    }
    const bool weekday = event.weekdays >> (days + 3) % 7 & 1;  // 1970-01-01: Thursday
    if (weekday && DayMatches(event, date.year, date.month, date.day)) {
      for (std::int64_t time = PreviousTimeOfDay(event, bound); time >= 0;
           time = PreviousTimeOfDay(event, time - 1)) {
        const std::int64_t local = days * kDay + time;
        const auto moment = FirstOccurrence(FloorDiv(local, kSecond), offsets);
        if (moment && *moment * kSecond + local % kSecond <= limitUsec) {
          return {CalendarElapse::Status::kFound, *moment * kSecond + local % kSecond};
        }
      }
    }
    --days, bound = kDay - 1;
  }
  return {};
}

}  // namespace runwarden
