#pragma once
// Task names and task patterns: the folder part of a 2.0 task path, whether a -task: text
// names one task or many, and how a pattern matches a task's name.

#include <string>
#include <string_view>

#include "core/calendar/text_rules.h"

namespace runwarden {

// A 2.0 task path split at its last backslash: the folder, led by one backslash (the root
// when there is none, or only backslashes before the name), and the part after it.
struct TaskPath {
  std::u16string folder;
  std::u16string_view name;
};

TaskPath SplitTaskPath(std::u16string_view path);

bool IsRootFolder(std::u16string_view folder);

// Whether a -task: text names many tasks: it holds a * or a ?, which no task or unit name
// can hold, or ends in a backslash (a folder). The text is in the system's code page: a
// backslash that is the trail byte of a double-byte character ends no folder.
bool IsTaskPattern(std::string_view text, const SystemLeadBytes& leadBytes);

// A pattern's folder and the pattern of the names in it; a folder alone (a trailing
// backslash) matches every task in it. Wildcards count in the last part only. A folder
// part that ends in \** (\Company\**, \Company\**\*Nightly, \**) names a tree: the
// folder before it and every folder below, whose tasks' names the names pattern matches;
// ** without a backslash before it is an ordinary pattern of the root.
struct TaskPattern {
  std::u16string folder;
  std::u16string names;
  bool tree = false;
};

TaskPattern SplitTaskPattern(std::u16string_view pattern);

// * matches any run of characters, ? exactly one; letters match in either case (ASCII
// only, as the names of most tasks are), every other character only itself.
bool MatchesTaskPattern(std::u16string_view pattern, std::u16string_view name);

// The same task name, ASCII letters in either case: a task seen by two interfaces.
bool SameTaskName(std::u16string_view a, std::u16string_view b);

// The order of a report's tasks: by name, ASCII letters in either case, then by the exact
// units, so that the order is the same on every run.
bool TaskNameBefore(std::u16string_view a, std::u16string_view b);

}  // namespace runwarden
