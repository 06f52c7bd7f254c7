#pragma once
// Lists of exit codes (-okcodes:): the codes that count as success besides 0, written as
// numbers and inclusive ranges separated by commas.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace runwarden {

struct ExitCodeRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;  // first <= last
  friend bool operator==(const ExitCodeRange&, const ExitCodeRange&) = default;
};

// Items separated by commas, each a number or an inclusive range N-M with N <= M. A number
// is decimal, or hexadecimal after 0x, x or $ (any case), from 0 to 4294967295, leading
// zeros allowed. Blanks and tabs around an item or around the - of a range are ignored;
// one inside a number is not. None for a list that is not valid: an empty item (an empty
// text included), anything in an item that is no number, a range that runs backwards, a
// number too large.
std::optional<std::vector<ExitCodeRange>> ParseExitCodeList(std::string_view text);

bool IsListedExitCode(std::span<const ExitCodeRange> list, std::uint32_t code);

}  // namespace runwarden
