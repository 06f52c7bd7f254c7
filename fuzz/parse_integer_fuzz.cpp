// ParseInteger on any bytes: the error position stays within the text (or just past it),
// ParseIntegerOr agrees with it, and every successful plain decimal agrees with the
// standard library's reading.
#include <charconv>
#include <cstdint>
#include <string_view>

#include "core/calendar/integer_text.h"
#include "fuzz_check.h"

using namespace runwarden;

namespace {

bool IsPlainDecimal(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ParsedInteger parsed = ParseInteger(text);
  FUZZ_CHECK(parsed.errorPosition <= text.size() + 1);
  FUZZ_CHECK(!text.empty() || parsed.errorPosition == 1);
  FUZZ_CHECK(ParseIntegerOr(text, 12345) == (parsed.errorPosition == 0 ? parsed.value : 12345));

  std::string_view digits = text;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  if (IsPlainDecimal(digits)) {
    if (digits.front() == '+') digits.remove_prefix(1);
    std::int32_t expected = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), expected);
    const bool inRange = error == std::errc{} && end == digits.data() + digits.size();
    FUZZ_CHECK(inRange == (parsed.errorPosition == 0));
    if (inRange) FUZZ_CHECK(parsed.value == expected);
  }
  return 0;
}
