// The local time zone of Linux, from the TZ rules the C library has loaded.
#ifndef __linux__
#error "time_zone_linux.cpp belongs to the Linux build only"
#endif

#include <ctime>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {

bool LinuxTimeZone::GetStandardBias(std::int32_t* biasMinutes) {
  tzset();
  // timezone: seconds west of UTC of the zone's standard time, whatever the season.
  *biasMinutes = static_cast<std::int32_t>(timezone / 60);
  return true;
}

}  // namespace runwarden
