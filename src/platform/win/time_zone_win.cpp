// The local time zone of Windows.
#include "platform/win/windows_api_win.h"

#include "platform/win/real_platform_win.h"

namespace runwarden {

bool WindowsTimeZone::GetStandardBias(std::int32_t* biasMinutes) {
  TIME_ZONE_INFORMATION zone{};
  if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return false;
  *biasMinutes = zone.Bias;  // the base bias; the daylight bias is not added
  return true;
}

bool WindowsTimeZone::LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) {
  const SYSTEMTIME localTime{local.wYear, local.wMonth,  0,             local.wDay,
                             local.wHour, local.wMinute, local.wSecond, 0};
  SYSTEMTIME utc{};
  FILETIME utcFileTime{};
  if (!::TzSpecificLocalTimeToSystemTime(nullptr, &localTime, &utc) ||
      !::SystemTimeToFileTime(&utc, &utcFileTime)) {
    return false;
  }
  *unixTime = UnixTimeFromFileTime(utcFileTime);
  return true;
}

}  // namespace runwarden
