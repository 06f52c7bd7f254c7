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

}  // namespace runwarden
