#include "core/access/system_error_text.h"

#include <array>
#include <cstring>
#include <string_view>

#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= 32; }

}  // namespace

std::string SystemErrorText(LogonApi& logon, SystemErrorCode code) {
  std::array<char, 512> buffer{};
  // The code comes from an arbitrary failed call, so its text may hold inserts; they are
  // left as written instead of being expanded from arguments that do not exist.
  const std::uint32_t stored =
      logon.FormatMessageA(kFormatMessageFromSystem | kFormatMessageIgnoreInserts, code, 0,
                           buffer.data(), buffer.size());
  if (stored == 0) {
    return "Cannot retrieve error description (error #" +
           DecimalText(static_cast<std::int32_t>(code)) + ")";
  }
  std::string_view text(buffer.data(), strnlen(buffer.data(), buffer.size()));
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return std::string(text);
}

}  // namespace runwarden
