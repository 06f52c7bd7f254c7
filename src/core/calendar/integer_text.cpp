#include "core/calendar/integer_text.h"

#include <charconv>

namespace runwarden {
namespace {

constexpr std::int64_t kDecimalDigitLimit = 214748364;   // a digit is taken only up to here
constexpr std::uint32_t kHexDigitLimit = 0x0FFFFFFF;      // at most eight significant digits

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHexPrefixAt(std::string_view text, std::size_t i) {
  if (i >= text.size()) return false;
  const char c = text[i];
  if (c == '$' || c == 'x' || c == 'X') return true;
  return c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X');
}

}  // namespace

ParsedInteger ParseInteger(std::string_view text) {
  const std::size_t pastEnd = text.size() + 1;
  if (text.empty()) return {0, 1};

  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }

  // A failure at byte i (or at the end) keeps the magnitude read so far, unsigned.
  auto failAt = [&](std::size_t index, std::int32_t magnitude) {
    return ParsedInteger{magnitude, index < text.size() ? index + 1 : pastEnd};
  };

  if (IsHexPrefixAt(text, i)) {
    i += text[i] == '0' ? 2 : 1;
    if (i >= text.size()) return failAt(i, 0);
    std::uint32_t bits = 0;
    for (; i < text.size(); ++i) {
      const int digit = HexDigitValue(text[i]);
      if (digit < 0 || bits > kHexDigitLimit) return failAt(i, static_cast<std::int32_t>(bits));
      bits = (bits << 4) | static_cast<std::uint32_t>(digit);
    }
    const auto value = static_cast<std::int32_t>(bits);
    // Negating the most negative value wraps, as the 32-bit pattern does.
    return {negative ? static_cast<std::int32_t>(0u - bits) : value, 0};
  }

  if (i >= text.size()) return failAt(i, 0);
  std::int64_t total = 0;  // [0, 2147483649]
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9' || total > kDecimalDigitLimit) {
      return failAt(i, static_cast<std::int32_t>(total));
    }
    total = total * 10 + (c - '0');
  }
  const std::int64_t signedTotal = negative ? -total : total;
  if (signedTotal < INT32_MIN || signedTotal > INT32_MAX) {
    // Out of range after every digit was read: the total wrapped to 32 bits.
    return {static_cast<std::int32_t>(static_cast<std::uint32_t>(signedTotal)), pastEnd};
  }
  return {static_cast<std::int32_t>(signedTotal), 0};
}

std::int32_t ParseIntegerOr(std::string_view text, std::int32_t fallback) {
  const ParsedInteger parsed = ParseInteger(text);
  return parsed.errorPosition == 0 ? parsed.value : fallback;
}

std::string HexText(std::uint32_t value, int digits) {
  if (digits < 0 || digits > 32) digits = 0;
  char buffer[8];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr;
  std::string text(buffer, end);
  for (char& c : text) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
  }
  if (text.size() < static_cast<std::size_t>(digits)) {
    text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
  }
  return text;
}

std::string DecimalText(std::int32_t value) { return std::to_string(value); }
std::string DecimalText(std::int64_t value) { return std::to_string(value); }

}  // namespace runwarden
