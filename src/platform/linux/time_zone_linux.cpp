// The local time zone of Linux, from the TZ rules the C library has loaded.
#ifndef __linux__
#error "time_zone_linux.cpp belongs to the Linux build only"
#endif

#include <cerrno>
#include <ctime>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {

bool LinuxTimeZone::GetStandardBias(std::int32_t* biasMinutes) {
  tzset();
  // timezone: seconds west of UTC of the zone's standard time, whatever the season.
  *biasMinutes = static_cast<std::int32_t>(timezone / 60);
  return true;
}

bool LinuxTimeZone::LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) {
  tm fields{};
  fields.tm_year = local.wYear - 1900;
  fields.tm_mon = local.wMonth - 1;
  fields.tm_mday = local.wDay;
  fields.tm_hour = local.wHour;
  fields.tm_min = local.wMinute;
  fields.tm_sec = local.wSecond;
  fields.tm_isdst = -1;  // the zone's rules decide whether daylight saving applies
  errno = 0;
  const std::time_t seconds = mktime(&fields);
  if (seconds == static_cast<std::time_t>(-1) && errno != 0) return false;
  *unixTime = seconds;
  return true;
}

}  // namespace runwarden
