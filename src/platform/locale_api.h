#pragma once
// The regional settings of the thread's locale, as Windows reports them.

#include <cstdint>

#include "platform/code_page.h"
#include "platform/system_time.h"

namespace runwarden {

using LocaleId = std::uint32_t;
using LocaleType = std::uint32_t;

inline constexpr std::uint32_t kDateUseAltCalendar = 4;

// The locale values that the program reads (Windows' LOCALE_* numbers).
inline constexpr LocaleType kLocaleSDate = 0x1D;
inline constexpr LocaleType kLocaleSTime = 0x1E;
inline constexpr LocaleType kLocaleSShortDate = 0x1F;
inline constexpr LocaleType kLocaleSLongDate = 0x20;
inline constexpr LocaleType kLocaleITime = 0x23;
inline constexpr LocaleType kLocaleITLZero = 0x25;
inline constexpr LocaleType kLocaleS1159 = 0x28;
inline constexpr LocaleType kLocaleS2359 = 0x29;
inline constexpr LocaleType kLocaleSDayName1 = 0x2A;        // Monday, up to 0x30 Sunday
inline constexpr LocaleType kLocaleSAbbrevDayName1 = 0x31;  // Monday, up to 0x37 Sunday
inline constexpr LocaleType kLocaleSMonthName1 = 0x38;      // January, up to 0x43 December
inline constexpr LocaleType kLocaleSAbbrevMonthName1 = 0x44;  // January, up to 0x4F
inline constexpr LocaleType kLocaleIDefaultAnsiCodePage = 0x1004;
inline constexpr LocaleType kLocaleITimeMarkPosn = 0x1005;
inline constexpr LocaleType kLocaleICalendarType = 0x1009;

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
