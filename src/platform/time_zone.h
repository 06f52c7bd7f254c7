#pragma once
// The local time zone.

#include <cstdint>
#include <string_view>

#include "platform/system_time.h"

namespace runwarden {

class TimeZone {
 public:
  virtual ~TimeZone() = default;
  // The zone's standard (not daylight-saving) bias in minutes, UTC = local time + bias;
  // false when the zone cannot be read.
  virtual bool GetStandardBias(std::int32_t* biasMinutes) = 0;
  // A local date and time (wDayOfWeek unused) in whole seconds since 1970-01-01 00:00 UTC,
  // by the zone's rules for that date and its year, daylight saving included; on Windows a
  // time in the hour that the end of daylight saving repeats is the earlier instant. False
  // when it cannot be converted.
  virtual bool LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) = 0;
  // The offset east of UTC, in seconds, that a zone of the tz database ("Europe/Berlin";
  // "" for this process's own zone) has at a moment in seconds since 1970-01-01 00:00 UTC;
  // false for a zone the system does not know. Windows has no such rules and answers false.
  virtual bool ZoneOffsetAt(std::string_view /*zone*/, std::int64_t /*unixTime*/,
                            std::int32_t* /*offsetSeconds*/) {
    return false;
  }
};

}  // namespace runwarden
