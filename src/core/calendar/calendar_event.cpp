// Reading the normalised calendar expressions of a systemd manager.
#include "core/calendar/calendar_event.h"

#include <array>
#include <charconv>

namespace runwarden {
namespace {

constexpr std::array<std::string_view, 7> kWeekdays = {"Mon", "Tue", "Wed", "Thu",
                                                       "Fri", "Sat", "Sun"};

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t end = text.find(separator, at);
    parts.push_back(text.substr(at, end == std::string_view::npos ? end : end - at));
    if (end == std::string_view::npos) return parts;
    at = end + 1;
  }
}

// A whole number, or for seconds one with up to six decimals, in microseconds.
std::optional<std::int64_t> Number(std::string_view text, bool micro) {
  std::string_view whole = text, fraction;
  if (const std::size_t dot = text.find('.'); micro && dot != std::string_view::npos) {
    whole = text.substr(0, dot);
    fraction = text.substr(dot + 1);
    if (fraction.empty() || fraction.size() > 6) return std::nullopt;
  }
  std::int64_t value = 0, part = 0;
  const auto digits = [](std::string_view s, std::int64_t& out) {
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), out);
    return !s.empty() && error == std::errc{} && end == s.data() + s.size() && s[0] != '-';
  };
  if (!digits(whole, value) || value > 1'000'000) return std::nullopt;
  if (!micro) return value;
  if (!fraction.empty() && !digits(fraction, part)) return std::nullopt;
  for (std::size_t i = fraction.size(); i < 6; ++i) part *= 10;
  return value * 1'000'000 + part;
}

// "*" or a comma list of start[..stop][/repeat].
std::optional<CalendarComponent> Component(std::string_view text, bool micro) {
  CalendarComponent items;
  if (text == "*" && micro) return CalendarComponent{{0, -1, 1'000'000}};  // each second
  if (text == "*") return items;
  for (std::string_view itemText : Split(text, ',')) {
    CalendarItem item;
    if (const std::size_t slash = itemText.find('/'); slash != std::string_view::npos) {
      const auto repeat = Number(itemText.substr(slash + 1), micro);
      if (!repeat || *repeat == 0) return std::nullopt;
      item.repeat = *repeat;
      itemText = itemText.substr(0, slash);
    }
    const std::size_t dots = itemText.find("..");
    const auto start = Number(itemText.substr(0, dots), micro);
    if (!start) return std::nullopt;
    item.start = *start;
    if (dots != std::string_view::npos) {
      const auto stop = Number(itemText.substr(dots + 2), micro);
      if (!stop || *stop < item.start) return std::nullopt;
      item.stop = *stop;
      if (item.repeat == 0) item.repeat = micro ? 1'000'000 : 1;  // each whole value
    }
    items.push_back(item);
  }
  return items;
}

// "Mon..Wed,Fri" as bits.
std::optional<std::uint8_t> Weekdays(std::string_view text) {
  const auto index = [](std::string_view name) -> int {
    for (std::size_t i = 0; i < kWeekdays.size(); ++i) {
      if (kWeekdays[i] == name) return static_cast<int>(i);
    }
    return -1;
  };
  std::uint8_t bits = 0;
  for (std::string_view item : Split(text, ',')) {
    const std::size_t dots = item.find("..");
    const int first = index(item.substr(0, dots));
    const int last = dots == std::string_view::npos ? first : index(item.substr(dots + 2));
    if (first < 0 || last < first) return std::nullopt;
    for (int day = first; day <= last; ++day) bits = static_cast<std::uint8_t>(bits | 1 << day);
  }
  return bits;
}

}  // namespace

std::optional<CalendarEvent> ParseCalendarEvent(std::string_view text) {
  std::vector<std::string_view> words = Split(text, ' ');
  CalendarEvent event;
  if (!words.empty() && words[0].size() >= 3 && words[0].find('-') == std::string_view::npos) {
    const auto weekdays = Weekdays(words[0]);
    if (!weekdays) return std::nullopt;
    event.weekdays = *weekdays;
    words.erase(words.begin());
  }
  if (words.size() < 2 || words.size() > 3) return std::nullopt;
  if (words.size() == 3) {
    if (words[2] == "UTC") {
      event.utc = true;
    } else if (words[2].find('/') != std::string_view::npos) {
      event.zone = words[2];
    }  // else the local zone's abbreviation, which names the local zone
  }
  // year-month-day, or year-month~day counted from the month's end.
  std::string_view date = words[0];
  const std::size_t tilde = date.find('~');
  event.endOfMonth = tilde != std::string_view::npos;
  std::vector<std::string_view> dateParts;
  if (event.endOfMonth) {
    dateParts = Split(date.substr(0, tilde), '-');
    dateParts.push_back(date.substr(tilde + 1));
  } else {
    dateParts = Split(date, '-');
  }
  const std::vector<std::string_view> timeParts = Split(words[1], ':');
  if (dateParts.size() != 3 || timeParts.size() != 3) return std::nullopt;
  auto year = Component(dateParts[0], false), month = Component(dateParts[1], false),
       day = Component(dateParts[2], false), hour = Component(timeParts[0], false),
       minute = Component(timeParts[1], false), second = Component(timeParts[2], true);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  event.year = *year;
  event.month = *month;
  event.day = *day;
  event.hour = *hour;
  event.minute = *minute;
  event.second = *second;
  return event;
}

std::int64_t PreviousMatch(const CalendarComponent& component, std::int64_t limit) {
  if (limit < 0) return -1;
  if (component.empty()) return limit;
  std::int64_t best = -1;
  for (const CalendarItem& item : component) {
    std::int64_t top = item.stop >= 0 ? std::min(limit, item.stop) : limit;
    if (top < item.start) continue;
    if (item.repeat > 0) {
      top = item.start + (top - item.start) / item.repeat * item.repeat;
    } else if (item.stop < 0) {
      top = item.start;
    }
    best = std::max(best, top);
  }
  return best;
}

}  // namespace runwarden
