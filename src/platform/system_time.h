#pragma once
// The platform's broken-down time record: eight 16-bit fields in the order of Windows'
// SYSTEMTIME, so that both the local clock and the Task Scheduler can fill it.

#include <cstdint>

namespace runwarden {

struct SystemTime {
  std::uint16_t wYear = 0;
  std::uint16_t wMonth = 0;
  std::uint16_t wDayOfWeek = 0;
  std::uint16_t wDay = 0;
  std::uint16_t wHour = 0;
  std::uint16_t wMinute = 0;
  std::uint16_t wSecond = 0;
  std::uint16_t wMilliseconds = 0;
};

}  // namespace runwarden
