#include "core/tasks/task_names.h"

#include <algorithm>

namespace runwarden {
namespace {

char16_t FoldAscii(char16_t unit) {
  return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

}  // namespace

TaskPath SplitTaskPath(std::u16string_view path) {
  const std::size_t last = path.rfind(u'\\');
  if (last == std::u16string_view::npos) return {u"\\", path};
  std::u16string_view folder = path.substr(0, last);
  folder.remove_prefix(std::min(folder.find_first_not_of(u'\\'), folder.size()));
  return {u"\\" + std::u16string(folder), path.substr(last + 1)};
}

bool IsRootFolder(std::u16string_view folder) { return folder == u"\\"; }

bool IsTaskPattern(std::string_view text, const SystemLeadBytes& leadBytes) {
  if (text.find_first_of("*?") != std::string_view::npos) return true;
  bool endsInBackslash = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    endsInBackslash = text[i] == '\\';
    if (IsLeadByte(leadBytes, text[i]) && i + 1 < text.size()) ++i;
  }
  return endsInBackslash;
}

TaskPattern SplitTaskPattern(std::u16string_view pattern) {
  constexpr std::u16string_view kTree = u"**";
  const TaskPath path = SplitTaskPath(pattern);
  TaskPattern split{path.folder, path.name.empty() ? u"*" : std::u16string(path.name)};
  if (path.name == kTree && pattern.find(u'\\') != std::u16string_view::npos) {
    split.names = u"*";  // \Company\** is \Company\**\ is \Company\**\*
    split.tree = true;
  } else if (split.folder.ends_with(u"\\**")) {
    split.folder = SplitTaskPath(split.folder).folder;
    split.tree = true;
  }
  return split;
}

bool MatchesTaskPattern(std::u16string_view pattern, std::u16string_view name) {
  // Greedy with one step back: on a mismatch the last * takes one more character.
  std::size_t p = 0, n = 0;
  std::size_t star = std::u16string_view::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      star = p++;
      starName = n;
    } else if (p < pattern.size() &&
               (pattern[p] == u'?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::u16string_view::npos) {
      p = star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

bool SameTaskName(std::u16string_view a, std::u16string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char16_t x, char16_t y) { return FoldAscii(x) == FoldAscii(y); });
}

bool TaskNameBefore(std::u16string_view a, std::u16string_view b) {
  const bool folded = std::lexicographical_compare(
      a.begin(), a.end(), b.begin(), b.end(),
      [](char16_t x, char16_t y) { return FoldAscii(x) < FoldAscii(y); });
  if (folded || !SameTaskName(a, b)) return folded;
  return a < b;
}

}  // namespace runwarden
