#pragma once
// Reading integers from text and writing them as text, with the exact edges that option
// values, time frames, locale numbers and result-line codes depend on.

#include <cstdint>
#include <string>
#include <string_view>

namespace runwarden {

struct ParsedInteger {
  std::int32_t value = 0;
  // 0 on success; otherwise the 1-based position of the first byte not accepted, or a
  // position past the end when the text ended too early or the total is out of range.
  std::size_t errorPosition = 0;
};

// Signed 32-bit decimal or hexadecimal ("$", "x", "X", "0x", "0X") integer. On failure
// the value is what the digits read so far give (see integer_text.cpp), not 0.
ParsedInteger ParseInteger(std::string_view text);

// The value of ParseInteger when it succeeds, otherwise fallback.
std::int32_t ParseIntegerOr(std::string_view text, std::int32_t fallback);

// Upper-case hexadecimal of the value as unsigned, padded with zeros to at least digits
// (a count below 0 or above 32 counts as 0); never cut.
std::string HexText(std::uint32_t value, int digits);

std::string DecimalText(std::int32_t value);
std::string DecimalText(std::int64_t value);

}  // namespace runwarden
