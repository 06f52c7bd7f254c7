#include "core/calendar/text_rules.h"

namespace runwarden {

std::size_t SubstringPosition(std::string_view part, std::string_view text) {
  if (part.empty() || text.empty()) return 0;
  const std::size_t found = text.find(part);
  return found == std::string_view::npos ? 0 : found + 1;
}

bool TextEquals(std::string_view a, std::string_view b) { return a == b; }

std::string AsciiLowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string LocaleUpperCase(CaseMapping& caseMapping, std::string_view text) {
  std::string upper(text);
  if (!upper.empty()) {
    caseMapping.CharUpperBuffA(upper.data(), static_cast<std::uint32_t>(upper.size()));
  }
  return upper;
}

namespace {

// Index of the first occurrence of pattern in text that starts on a character boundary,
// or npos.
std::size_t FindOnCharacterBoundary(std::string_view text, std::string_view pattern,
                                    const SystemLeadBytes& leadBytes) {
  for (std::size_t i = 0; i + pattern.size() <= text.size();) {
    if (text.compare(i, pattern.size(), pattern) == 0) return i;
    i += IsLeadByte(leadBytes, text[i]) && i + 1 < text.size() ? 2 : 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view pattern,
                                   std::string_view replacement,
                                   const SystemLeadBytes& leadBytes, CaseMapping& caseMapping) {
  if (pattern.empty()) return std::string(text);
  // Upper-casing keeps lengths, so the search copy and the text stay aligned.
  const std::string searchCopy = LocaleUpperCase(caseMapping, text);
  const std::string searchPattern = LocaleUpperCase(caseMapping, pattern);
  std::string_view search = searchCopy;
  std::string_view rest = text;
  std::string result;
  while (!search.empty()) {
    const std::size_t at = FindOnCharacterBoundary(search, searchPattern, leadBytes);
    if (at == std::string_view::npos) break;
    result.append(rest.substr(0, at));
    result.append(replacement);
    rest.remove_prefix(at + pattern.size());
    search.remove_prefix(at + searchPattern.size());
  }
  result.append(rest);
  return result;
}

}  // namespace runwarden
