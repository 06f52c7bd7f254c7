#pragma once
// The local wall clock.

#include <cstdint>

#include "platform/system_time.h"

namespace runwarden {

class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time with milliseconds (GetLocalTime on Windows).
  virtual SystemTime GetLocalTime() = 0;
  // Now in whole seconds since 1970-01-01 00:00 UTC (GetSystemTimeAsFileTime on Windows).
  virtual std::int64_t GetUnixTime() = 0;
};

}  // namespace runwarden
