// The units of a systemd manager whose names match a pattern.
#ifndef __linux__
#error "unit_listing_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/unit_listing_linux.h"

#include <algorithm>
#include <map>
#include <set>

#include "platform/linux/systemd_bus_linux.h"
#include "platform/linux/unit_run_record_linux.h"

namespace runwarden {
namespace {

bool IsTask(std::string_view name) {
  const UnitKind kind = KindOfUnit(name);
  if (kind == UnitKind::Other) return false;
  const std::string_view stem = name.substr(0, name.rfind('.'));
  return !stem.ends_with('@');  // a template, not a unit that can run
}

// A call of the manager with the two string arrays of the ...ByPatterns calls: no state
// asked for (every state), and the one pattern.
std::size_t CallByPattern(PropertyBatch& batch, sd_bus* bus, const char* member,
                          const std::string& glob) {
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus, &call, kManagerService, kManagerPath,
                                         kManagerInterface, member);
  if (r >= 0) r = sd_bus_message_append(call, "as", 0);
  if (r >= 0) r = sd_bus_message_append(call, "as", 1, glob.c_str());
  return batch.Call(call, r);
}

// ListUnitsByPatterns: a(ssssssouso), of which the name and the load state are kept.
int ReadLoadedUnits(sd_bus_message* reply, std::vector<ListedUnit>& units) {
  int r = sd_bus_message_enter_container(reply, 'a', "(ssssssouso)");
  const char *name, *loadState;
  while (r >= 0 && (r = sd_bus_message_read(reply, "(ssssssouso)", &name, nullptr, &loadState,
                                            nullptr, nullptr, nullptr, nullptr, nullptr,
                                            nullptr, nullptr)) > 0) {
    units.push_back({name, loadState});
  }
  return r < 0 ? r : sd_bus_message_exit_container(reply);
}

std::string FileName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// ListUnitFilesByPatterns: a(ss), the path of each file and its state. aliases receives
// the names of the task files in the state "alias".
int ReadUnitFiles(sd_bus_message* reply, std::vector<std::string>& files,
                  std::vector<std::string>& aliases) {
  int r = sd_bus_message_enter_container(reply, 'a', "(ss)");
  const char *path, *state;
  while (r >= 0 && (r = sd_bus_message_read(reply, "(ss)", &path, &state)) > 0) {
    files.push_back(path);
    if (std::string_view(state) == "alias" && IsTask(FileName(path))) {
      aliases.push_back(FileName(path));
    }
  }
  return r < 0 ? r : sd_bus_message_exit_container(reply);
}

// The unit that each alias stands for, as the manager names it (its Id).
HResult ResolveAliases(const ManagerBus& manager, const std::vector<std::string>& names,
                       std::map<std::string, std::string>& aliases) {
  PropertyBatch batch(manager);
  AnswerReader reader(batch);
  std::vector<std::size_t> answers;
  for (const std::string& name : names) {
    answers.push_back(batch.Ask(UnitPath(name), kUnitInterface, "Id"));
  }
  batch.Wait();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string id = reader.Text(answers[i]);
    if (!id.empty()) aliases[names[i]] = id;
  }
  return reader.Failed() ? reader.Result() : 0;
}

}  // namespace

std::string CaseFreeGlob(std::string_view pattern) {
  std::string glob;
  for (const char c : pattern) {
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    if (lower != upper) {
      glob += {'[', lower, upper, ']'};
    } else if (c == '[' || c == '\\') {
      // A set of the character itself means it alone, whether or not the manager lets a
      // backslash escape; ']' and '!' are plain outside a set.
      glob += c == '[' ? "[[]" : "[\\\\]";
    } else {
      glob += c;
    }
  }
  return glob;
}

std::vector<ListedUnit> TaskUnitsOf(const std::vector<ListedUnit>& loaded,
                                    const std::vector<std::string>& unitFiles,
                                    const std::map<std::string, std::string>& aliases,
                                    std::map<std::string, std::string>* shownAs) {
  std::map<std::string, std::string> states;
  for (const ListedUnit& unit : loaded) {
    if (IsTask(unit.name)) states.emplace(unit.name, unit.loadState);
  }
  std::set<std::string> names;                   // listed under their own name
  std::map<std::string, std::string> byAliases;  // listed by aliases only: the first alias
  for (const std::string& path : unitFiles) {
    const std::string file = FileName(path);
    const auto alias = aliases.find(file);
    if (alias == aliases.end() || alias->second == file) {
      names.insert(file);
    } else if (const auto [unit, added] = byAliases.emplace(alias->second, file); !added) {
      unit->second = std::min(unit->second, file);
    }
  }
  std::erase_if(byAliases, [&](const auto& unit) {
    return states.contains(unit.first) || names.contains(unit.first);
  });
  for (const auto& [name, alias] : byAliases) names.insert(name);
  // A unit with a file is asked about unless the manager has loaded it: a unit it had not
  // found may have been added since.
  for (const std::string& name : names) {
    if (!IsTask(name)) continue;
    const auto [unit, added] = states.emplace(name, "");
    if (!added && unit->second == "not-found") unit->second.clear();
  }
  std::vector<ListedUnit> units;
  for (auto& [name, state] : states) {
    if (state == "not-found") continue;
    units.push_back({name, state});
    if (const auto alias = byAliases.find(name); shownAs != nullptr && alias != byAliases.end()) {
      (*shownAs)[name] = alias->second;
    }
  }
  return units;
}

std::vector<std::string> TaskNamesOf(
    const std::vector<ListedUnit>& units,
    const std::vector<std::pair<std::string, std::string>>& started) {
  std::set<std::string> listed, dropped;
  for (const ListedUnit& unit : units) listed.insert(unit.name);
  for (const auto& [timer, service] : started) {
    if (listed.contains(timer)) dropped.insert(service);
  }
  std::vector<std::string> names;
  for (const std::string& name : listed) {
    if (!dropped.contains(name)) names.push_back(name);
  }
  return names;
}

HResult ListTaskUnits(const ManagerBus& manager, const std::string& glob,
                      std::vector<ListedUnit>& units, std::map<std::string, std::string>& shownAs) {
  PropertyBatch batch(manager);
  const std::size_t loadedAnswer =
      CallByPattern(batch, manager.bus, "ListUnitsByPatterns", glob);
  const std::size_t filesAnswer =
      CallByPattern(batch, manager.bus, "ListUnitFilesByPatterns", glob);
  batch.Wait();
  AnswerReader reader(batch);
  std::vector<ListedUnit> loaded;
  std::vector<std::string> files, aliasNames;
  sd_bus_message* reply = reader.Reply(loadedAnswer);
  int r = reply ? ReadLoadedUnits(reply, loaded) : 0;
  if (r >= 0 && (reply = reader.Reply(filesAnswer)) != nullptr) {
    r = ReadUnitFiles(reply, files, aliasNames);
  }
  if (reader.Failed()) return reader.Result();
  if (r < 0) return ResultOfBusFailure(r, "", manager.remote);
  std::map<std::string, std::string> aliases;
  if (!aliasNames.empty()) {
    if (const HResult resolved = ResolveAliases(manager, aliasNames, aliases); resolved != 0) {
      return resolved;
    }
  }
  units = TaskUnitsOf(loaded, files, aliases, &shownAs);
  return 0;
}

}  // namespace runwarden
