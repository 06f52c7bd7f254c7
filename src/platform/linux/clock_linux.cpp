// The local wall clock of Linux: the system time in the process's local time zone.
#ifndef __linux__
#error "clock_linux.cpp belongs to the Linux build only"
#endif

#include <ctime>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {

SystemTime LocalSystemTime(std::time_t seconds, std::uint16_t milliseconds) {
  tm local{};
  localtime_r(&seconds, &local);
  return {static_cast<std::uint16_t>(local.tm_year + 1900),
          static_cast<std::uint16_t>(local.tm_mon + 1),
          static_cast<std::uint16_t>(local.tm_wday),
          static_cast<std::uint16_t>(local.tm_mday),
          static_cast<std::uint16_t>(local.tm_hour),
          static_cast<std::uint16_t>(local.tm_min),
          // A leap second (60) is shown as the last second of its minute.
          static_cast<std::uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec),
          milliseconds};
}

SystemTime LinuxClock::GetLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return LocalSystemTime(now.tv_sec, static_cast<std::uint16_t>(now.tv_nsec / 1'000'000));
}

std::int64_t LinuxClock::GetUnixTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec;
}

}  // namespace runwarden
