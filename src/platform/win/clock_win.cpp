// The local clock of Windows.
#include "platform/win/windows_api_win.h"

#include "platform/win/real_platform_win.h"

namespace runwarden {

SystemTime WindowsClock::GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth,  now.wDayOfWeek, now.wDay,
          now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

std::int64_t WindowsClock::GetUnixTime() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return UnixTimeFromFileTime(now);
}

}  // namespace runwarden
