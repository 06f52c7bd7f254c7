#pragma once
// Zone rules for tests: "" and "UTC" without offset; "Test/Summer" one hour east of UTC,
// two hours during its summer (from summerStart to summerEnd, Unix seconds); any other
// zone unknown. Every offset asked for is counted.
#include <cstdint>
#include <string_view>

#include "platform/time_zone.h"

namespace runwarden::testing {

class FakeZoneRules final : public TimeZone {
 public:
  std::int64_t summerStart = 0, summerEnd = 0;
  int asked = 0;
  bool GetStandardBias(std::int32_t*) override { return false; }
  bool LocalToUnixTime(const SystemTime&, std::int64_t*) override { return false; }
  bool ZoneOffsetAt(std::string_view zone, std::int64_t unixTime, std::int32_t* offset) override {
    ++asked;
    if (zone.empty() || zone == "UTC") {
      *offset = 0;
      return true;
    }
    if (zone != "Test/Summer") return false;
    *offset = unixTime >= summerStart && unixTime < summerEnd ? 7200 : 3600;
    return true;
  }
};

}  // namespace runwarden::testing
