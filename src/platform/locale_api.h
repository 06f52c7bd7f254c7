#pragma once
// The regional settings of the thread's locale, as Windows reports them.

#include <cstdint>

#include "platform/system_time.h"

namespace runwarden {

using LocaleId = std::uint32_t;
using LocaleType = std::uint32_t;

inline constexpr std::uint32_t kDateUseAltCalendar = 4;

// The part of CPINFO that the program reads.
struct CodePageInfo {
  std::uint32_t MaxCharSize = 0;
  std::uint8_t LeadByte[12] = {};  // pairs of first and last lead byte, ended by 0, 0
};

class LocaleApi {
 public:
  virtual ~LocaleApi() = default;
  virtual LocaleId GetThreadLocale() = 0;
  // Characters stored including the terminator, 0 on failure (also when size is too small).
  virtual int GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) = 0;
  virtual bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) = 0;
  virtual int GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                             const char* format, char* buffer, int size) = 0;
};

}  // namespace runwarden
