#pragma once
// Time frames: when the task under check should have run, as a number of minutes ending
// now or as a calendar keyword, and the window on the local clock that a frame stands for.

#include <cstdint>
#include <string_view>

#include "core/calendar/date_time.h"
#include "platform/clock.h"

namespace runwarden {

// The keywords, in lookup order; weeks begin on Sunday. Schedule: from each task's latest
// scheduled start up to now, a window that the judgement of the task sets.
enum class TimeFrameKind { Today, Yesterday, ThisWeek, LastWeek, ThisMonth, LastMonth, Schedule };

// Sets kind to the keyword that text equals exactly (case respected) and returns true;
// returns false and leaves kind unchanged when text is no keyword.
bool FindTimeFrame(std::string_view text, TimeFrameKind& kind);

// A time frame as -timeframe: and -warnframe: are read: minutes is the integer that text
// begins with (what follows it is not looked at; 0 when there is none), and a count of 0
// must be a keyword, which sets kind. False when it is neither.
bool ReadTimeFrame(std::string_view text, std::int32_t& minutes, TimeFrameKind& kind);

// Start included, end excluded.
struct TimeWindow {
  DateTime WindowStart = 0;
  DateTime WindowEnd = 0;
  DateTime Now = 0;  // the first clock reading, which a minute window's start is measured from
};

// A positive minute count is the window of that many minutes up to now; otherwise the row
// of kind. Every "now" is a reading of its own; "today" is midnight of the first reading.
// Schedule gives the empty window that ends now, whose start the task's schedule sets.
// Minute counts are multiplied in 64 bits, so every 32-bit count gives its window.
TimeWindow ComputeTimeWindow(std::int32_t minutes, TimeFrameKind kind, Clock& clock);

inline bool IsInTimeWindow(const TimeWindow& window, DateTime lastRun) {
  return window.WindowStart <= lastRun && lastRun < window.WindowEnd;
}

}  // namespace runwarden
