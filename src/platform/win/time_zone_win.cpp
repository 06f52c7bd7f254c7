// The local time zone of Windows.
#include "platform/win/windows_api_win.h"

#include "platform/win/real_platform_win.h"

namespace runwarden {
namespace {

constexpr std::int64_t kUnitsPerMinute = 600'000'000;  // FILETIME units

std::int64_t Units(const FILETIME& time) {
  return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

FILETIME FileTimeOf(std::int64_t units) {
  const auto bits = static_cast<std::uint64_t>(units);
  return {static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
}

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay && a.wHour == b.wHour &&
         a.wMinute == b.wMinute && a.wSecond == b.wSecond;
}

// The zone's rules for the given year, which may differ from this year's; this year's when
// the system keeps none for it.
bool ZoneOfYear(WORD year, TIME_ZONE_INFORMATION* zone) {
  DYNAMIC_TIME_ZONE_INFORMATION dynamicZone{};
  if (::GetDynamicTimeZoneInformation(&dynamicZone) != TIME_ZONE_ID_INVALID &&
      ::GetTimeZoneInformationForYear(year, &dynamicZone, zone)) {
    return true;
  }
  return ::GetTimeZoneInformation(zone) != TIME_ZONE_ID_INVALID;
}

}  // namespace

bool WindowsTimeZone::GetStandardBias(std::int32_t* biasMinutes) {
  TIME_ZONE_INFORMATION zone{};
  if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return false;
  *biasMinutes = zone.Bias;  // the base bias; the daylight bias is not added
  return true;
}

// The instant whose local time, by the zone's rules of that year, is the one given. In the
// hour that the end of daylight saving repeats, the earlier instant (daylight saving time):
// it is tried first. A local time that the start of daylight saving skips has no such
// instant; it is converted as TzSpecificLocalTimeToSystemTime takes it.
bool WindowsTimeZone::LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) {
  const SYSTEMTIME localTime{local.wYear, local.wMonth,  0,             local.wDay,
                             local.wHour, local.wMinute, local.wSecond, 0};
  TIME_ZONE_INFORMATION zone{};
  FILETIME localFileTime{};
  if (!ZoneOfYear(local.wYear, &zone) || !::SystemTimeToFileTime(&localTime, &localFileTime)) {
    return false;
  }
  for (const LONG bias : {zone.Bias + zone.DaylightBias, zone.Bias + zone.StandardBias}) {
    const FILETIME utc = FileTimeOf(Units(localFileTime) + bias * kUnitsPerMinute);
    SYSTEMTIME utcTime{};
    SYSTEMTIME back{};
    if (::FileTimeToSystemTime(&utc, &utcTime) &&
        ::SystemTimeToTzSpecificLocalTime(&zone, &utcTime, &back) && SameTime(back, localTime)) {
      *unixTime = UnixTimeFromFileTime(utc);
      return true;
    }
  }
  SYSTEMTIME utc{};
  FILETIME utcFileTime{};
  if (!::TzSpecificLocalTimeToSystemTime(&zone, &localTime, &utc) ||
      !::SystemTimeToFileTime(&utc, &utcFileTime)) {
    return false;
  }
  *unixTime = UnixTimeFromFileTime(utcFileTime);
  return true;
}

}  // namespace runwarden
