// Checks the calendar engine against the output of `systemd-analyze calendar --iterations=N`
// read on stdin, in the zone of TZ, which must be the one the output was made in. For each
// normalised expression with its elapses E1 < E2 < ... (UTC, whole seconds) it asks the
// engine for the previous elapse at Ei and just before Ei+1: both must give Ei (the
// engine's fractions of a second dropped). Prints each mismatch and the number of checks;
// exit status 1 on a mismatch, 2 when the input holds no elapse.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/calendar/calendar_elapse.h"
#include "core/calendar/calendar_event.h"
#include "platform/platform.h"

namespace {

using namespace runwarden;

constexpr std::int64_t kSecond = 1'000'000;

// "Www YYYY-MM-DD HH:MM:SS UTC" at the end of a line as seconds since the epoch.
bool UtcElapse(const std::string& line, std::int64_t* seconds) {
  static const std::vector<std::string> kMarks = {"Next elapse: ", "Iter. #", "(in UTC): "};
  if (!line.ends_with(" UTC")) return false;
  bool marked = false;
  for (const std::string& mark : kMarks) marked = marked || line.find(mark) != std::string::npos;
  if (!marked) return false;
  const std::string stamp = line.substr(line.size() - 4 - 19, 19);
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (std::sscanf(stamp.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6) return false;
  *seconds = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86'400 +
             h * 3600 + mi * 60 + s;
  return true;
}

struct Oracle {
  std::string event;
  std::vector<std::int64_t> elapses;
};

int Check(const Oracle& oracle, TimeZone& zones, int* checks) {
  const auto event = ParseCalendarEvent(oracle.event);
  if (!event) {
    std::cout << "FAIL not read: " << oracle.event << "\n";
    return 1;
  }
  int failures = 0;
  const auto expect = [&](std::int64_t limit, std::int64_t expected) {
    ++*checks;
    const CalendarElapse got = PreviousElapse(*event, limit, "", zones);
    const std::int64_t seconds = got.unixUsec / kSecond;
    if (got.status == CalendarElapse::Status::kFound && seconds == expected) return;
    ++failures;
    std::cout << "FAIL " << oracle.event << ": at " << limit << " expected " << expected
              << "s, got " << (got.status == CalendarElapse::Status::kFound ? seconds : -1)
              << "\n";
  };
  for (std::size_t i = 0; i < oracle.elapses.size(); ++i) {
    expect(oracle.elapses[i] * kSecond + kSecond - 1, oracle.elapses[i]);
    if (i + 1 < oracle.elapses.size()) expect(oracle.elapses[i + 1] * kSecond - 1, oracle.elapses[i]);
  }
  return failures;
}

}  // namespace

int main() {
  std::vector<Oracle> oracles;
  for (std::string line; std::getline(std::cin, line);) {
    if (const auto at = line.find("Normalized form: "); at != std::string::npos) {
      oracles.push_back({line.substr(at + 17), {}});
    } else if (std::int64_t seconds = 0; !oracles.empty() && UtcElapse(line, &seconds)) {
      oracles.back().elapses.push_back(seconds);
    }
  }
  int failures = 0, checks = 0;
  for (const Oracle& oracle : oracles) {
    if (oracle.elapses.empty()) {
      std::cout << "FAIL no elapse: " << oracle.event << "\n";
      return 2;
    }
    failures += Check(oracle, RealPlatform().timeZone, &checks);
  }
  std::cout << oracles.size() << " expressions, " << checks << " checks, " << failures
            << " failures\n";
  return failures == 0 && checks > 0 ? 0 : 1;
}
