// The local time zone of Linux, from the TZ rules the C library has loaded.
#ifndef __linux__
#error "time_zone_linux.cpp belongs to the Linux build only"
#endif

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// Whether a zone name names a file of the tz database: a relative path without "..".
bool IsZoneFile(const std::string& zone) {
  if (zone.empty() || zone.front() == '/' || zone.find("..") != std::string::npos) return false;
  const char* directory = std::getenv("TZDIR");
  const std::string path =
      std::string(directory && *directory ? directory : "/usr/share/zoneinfo") + "/" + zone;
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// localtime_r's offset east of UTC.
bool LocalOffset(std::int64_t unixTime, std::int32_t* offsetSeconds) {
  const auto seconds = static_cast<std::time_t>(unixTime);
  tm fields{};
  if (localtime_r(&seconds, &fields) == nullptr) return false;
  *offsetSeconds = static_cast<std::int32_t>(fields.tm_gmtoff);
  return true;
}

}  // namespace

bool LinuxTimeZone::ZoneOffsetAt(std::string_view zone, std::int64_t unixTime,
                                 std::int32_t* offsetSeconds) {
  if (zone.empty()) {
    tzset();
    return LocalOffset(unixTime, offsetSeconds);
  }
  const std::string name(zone);
  if (!IsZoneFile(name)) return false;
  std::optional<std::string> previous;
  if (const char* old = std::getenv("TZ")) previous = old;
  setenv("TZ", (":" + name).c_str(), 1);
  tzset();
  const bool read = LocalOffset(unixTime, offsetSeconds);
  if (previous) {
    setenv("TZ", previous->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  return read;
}

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
