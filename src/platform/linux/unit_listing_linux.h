#pragma once
// A manager's tasks whose names match a pattern: the services and timers it has loaded or
// has unit files for, listed with the manager's own name matching.

#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com_runtime.h"
#include "platform/linux/systemd_bus_linux.h"

namespace runwarden {

// A listed unit. loadState: the manager's, for a loaded unit without a unit file; empty
// where it has to be asked (a unit file, which the manager loads when it is asked about).
struct ListedUnit {
  std::string name;
  std::string loadState;
  friend bool operator==(const ListedUnit&, const ListedUnit&) = default;
};

// A check's pattern (* any run, ? one character, ASCII letters in either case) as a
// pattern for the manager's fnmatch(), which tells case: each letter becomes a set of its
// two cases, and the characters that are special to fnmatch() are sets of themselves.
std::string CaseFreeGlob(std::string_view pattern);

// The loaded units and the unit files (paths) the manager listed, as tasks: services and
// timers only, no templates (name@.service), none the manager could not find, each once,
// in name order. aliases: the names of listed files that are aliases (symbolic links to
// another unit's file, which the manager reports in the state "alias"), each with the name
// of the unit it stands for: such a file is that unit, counted once under the unit's own
// name. shownAs receives, for a unit that only aliases matched (its own name does not
// match), the first of those aliases: the name that a check of the pattern shows.
std::vector<ListedUnit> TaskUnitsOf(const std::vector<ListedUnit>& loaded,
                                    const std::vector<std::string>& unitFiles,
                                    const std::map<std::string, std::string>& aliases = {},
                                    std::map<std::string, std::string>* shownAs = nullptr);

// The names of the tasks, leaving out every service that a listed timer starts (the pairs
// of timer and service): such a service is checked as its timer.
std::vector<std::string> TaskNamesOf(
    const std::vector<ListedUnit>& units,
    const std::vector<std::pair<std::string, std::string>>& started);

// Asks the manager for its units and unit files whose names match glob (both lists in one
// round trip) and gives them as TaskUnitsOf does. 0, or the failed call's result code.
// The manager names the unit that each listed alias stands for (its Id), in one more
// round trip when there are aliases.
HResult ListTaskUnits(const ManagerBus& manager, const std::string& glob,
                      std::vector<ListedUnit>& units, std::map<std::string, std::string>& shownAs);

}  // namespace runwarden
