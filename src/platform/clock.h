#pragma once
// The local wall clock.

#include "platform/system_time.h"

namespace runwarden {

class Clock {
 public:
  virtual ~Clock() = default;
  // Local date and time with milliseconds (GetLocalTime on Windows).
  virtual SystemTime GetLocalTime() = 0;
};

}  // namespace runwarden
