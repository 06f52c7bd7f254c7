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

// ListUnitFilesByPatterns: a(ss), the path of each file and its state.
int ReadUnitFiles(sd_bus_message* reply, std::vector<std::string>& files) {
  int r = sd_bus_message_enter_container(reply, 'a', "(ss)");
  const char* path;
  while (r >= 0 && (r = sd_bus_message_read(reply, "(ss)", &path, nullptr)) > 0) {
    files.push_back(path);
  }
  return r < 0 ? r : sd_bus_message_exit_container(reply);
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
                                    const std::vector<std::string>& unitFiles) {
  std::map<std::string, std::string> states;
  for (const ListedUnit& unit : loaded) {
    if (IsTask(unit.name)) states.emplace(unit.name, unit.loadState);
  }
  // A unit with a file is asked about unless the manager has loaded it: a unit it had not
  // found may have been added since.
  for (const std::string& path : unitFiles) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (!IsTask(name)) continue;
    const auto [unit, added] = states.emplace(name, "");
    if (!added && unit->second == "not-found") unit->second.clear();
  }
  std::vector<ListedUnit> units;
  for (auto& [name, state] : states) {
    if (state != "not-found") units.push_back({name, state});
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
                      std::vector<ListedUnit>& units) {
  PropertyBatch batch(manager);
  const std::size_t loadedAnswer =
      CallByPattern(batch, manager.bus, "ListUnitsByPatterns", glob);
  const std::size_t filesAnswer =
      CallByPattern(batch, manager.bus, "ListUnitFilesByPatterns", glob);
  batch.Wait();
  AnswerReader reader(batch);
  std::vector<ListedUnit> loaded;
  std::vector<std::string> files;
  sd_bus_message* reply = reader.Reply(loadedAnswer);
  int r = reply ? ReadLoadedUnits(reply, loaded) : 0;
  if (r >= 0 && (reply = reader.Reply(filesAnswer)) != nullptr) r = ReadUnitFiles(reply, files);
  if (reader.Failed()) return reader.Result();
  if (r < 0) return ResultOfBusFailure(r, "", manager.remote);
  units = TaskUnitsOf(loaded, files);
  return 0;
}

}  // namespace runwarden
