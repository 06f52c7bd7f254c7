// The Linux time zone against real zone rules: the standard offset, whatever the season.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// Sets TZ for one test and puts the old value back.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) previous_ = old;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    if (previous_) {
      setenv("TZ", previous_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

 private:
  std::optional<std::string> previous_;
};

TEST(LinuxTimeZone, StandardBiasInEverySeason) {
  const struct {
    const char* zone;
    std::int32_t bias;
  } cases[] = {
      {"UTC", 0},
      {"Europe/Berlin", -60},       // +02:00 in summer, +01:00 standard
      {"America/New_York", 300},    // -04:00 in summer, -05:00 standard
      {"Australia/Sydney", -600},   // daylight saving in the southern summer
      {"Asia/Kolkata", -330},       // half hours
      {"Asia/Tokyo", -540},
      {"<+0330>-3:30", -210},       // a rule written out, no database
      {"EST5EDT,M3.2.0,M11.1.0", 300},
  };
  // A July and a January instant, read through localtime first, so that the C library has
  // just worked out a daylight-saving time for the zone.
  const std::time_t instants[] = {1'783'000'000, 1'767'225'600};
  for (const auto& c : cases) {
    const ZoneScope scope(c.zone);
    for (const std::time_t instant : instants) {
      std::tm local{};
      localtime_r(&instant, &local);
      LinuxTimeZone zone;
      std::int32_t bias = 12345;
      ASSERT_TRUE(zone.GetStandardBias(&bias)) << c.zone;
      EXPECT_EQ(bias, c.bias) << c.zone << " at " << instant;
    }
  }
}

// Named zones at a July and a January instant; the process's own zone and TZ untouched.
TEST(LinuxTimeZone, OffsetsOfNamedZones) {
  const ZoneScope scope("Asia/Tokyo");
  const struct {
    const char* zone;
    bool known;
    std::int32_t july, january;
  } cases[] = {
      {"Europe/Berlin", true, 7200, 3600},
      {"Australia/Sydney", true, 36000, 39600},
      {"America/Santiago", true, -14400, -10800},
      {"UTC", true, 0, 0},
      {"", true, 32400, 32400},  // the process's own
      {"Nowhere/Zone", false, 0, 0},
      {"../../etc/passwd", false, 0, 0},
      {"/usr/share/zoneinfo/UTC", false, 0, 0},
  };
  LinuxTimeZone zones;
  for (const auto& c : cases) {
    std::int32_t july = 1, january = 1;
    EXPECT_EQ(zones.ZoneOffsetAt(c.zone, 1'783'000'000, &july), c.known) << c.zone;
    EXPECT_EQ(zones.ZoneOffsetAt(c.zone, 1'767'225'600, &january), c.known) << c.zone;
    if (c.known) {
      EXPECT_EQ(july, c.july) << c.zone;
      EXPECT_EQ(january, c.january) << c.zone;
    }
    EXPECT_STREQ(std::getenv("TZ"), "Asia/Tokyo") << c.zone;
  }
}

}  // namespace
}  // namespace runwarden
