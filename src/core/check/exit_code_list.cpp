#include "core/check/exit_code_list.h"

#include <algorithm>
#include <charconv>

namespace runwarden {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The whole text must be the number: no sign, no blank, no second prefix.
std::optional<std::uint32_t> ParseExitCode(std::string_view text) {
  text = TrimBlanks(text);
  int base = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  } else if (!text.empty() && (text[0] == 'x' || text[0] == 'X' || text[0] == '$')) {
    text.remove_prefix(1);
    base = 16;
  }
  std::uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::vector<ExitCodeRange>> ParseExitCodeList(std::string_view text) {
  std::vector<ExitCodeRange> list;
  for (;;) {
    const std::size_t comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    const std::size_t dash = item.find('-');
    const auto first = ParseExitCode(item.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first : ParseExitCode(item.substr(dash + 1));
    if (!first || !last || *last < *first) return std::nullopt;
    list.push_back({*first, *last});
    if (comma == std::string_view::npos) return list;
    text.remove_prefix(comma + 1);
  }
}

bool IsListedExitCode(std::span<const ExitCodeRange> list, std::uint32_t code) {
  return std::any_of(list.begin(), list.end(), [code](const ExitCodeRange& range) {
    return range.first <= code && code <= range.last;
  });
}

}  // namespace runwarden
