#pragma once
// The local time zone.

#include <cstdint>

namespace runwarden {

class TimeZone {
 public:
  virtual ~TimeZone() = default;
  // The zone's standard (not daylight-saving) bias in minutes, UTC = local time + bias;
  // false when the zone cannot be read.
  virtual bool GetStandardBias(std::int32_t* biasMinutes) = 0;
};

}  // namespace runwarden
