#pragma once
// The last run of a systemd unit taken as a task: which unit a task name means, and the
// unit's last start and exit code as its manager reports them, with its running state and
// schedule when the check asks for them.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com_runtime.h"
#include "platform/linux/journal_linux.h"
#include "platform/linux/systemd_bus_linux.h"
#include "platform/linux/unit_listing_linux.h"
#include "platform/linux/unit_run_state_linux.h"
#include "platform/system_time.h"

namespace runwarden {

// What a task object reports: read once, when the task is opened.
struct RunRecord {
  std::uint64_t lastStart = 0;  // microseconds since the epoch, 0: never
  std::uint32_t exitCode = 0;
  std::string service;  // the service whose run this is, for its lines in the journal
  // Each only where the check asked for it and the manager answered.
  std::optional<bool> running;           // the service's main process runs (MainProcessRuns)
  std::optional<UnitSchedule> schedule;  // whether and when it runs again
};

// The last run of a unit's service: start and exit code. For a timer, the start is the
// later of its last trigger and its service's start. 0, or the failure's result code
// (kUnknownTask for a unit that does not exist, kNoInterface for one of another type).
// values: what else to read. The running state is that of the service, a timer's too;
// the schedule is a timer's own (ScheduleOfTimer), a service's that of the timers that
// trigger it (its TriggeredBy, ScheduleOfService). A failure to read either leaves it
// out and the record stands.
// journal: where a run the manager no longer knows is looked up (TakeJournalRun); none
// reads the manager alone.
HResult ReadRunRecord(const ManagerBus& manager, const std::string& unitName,
                      const TaskValueRequest& values, UnitJournal* journal, RunRecord& record);

// What opening a unit as a task gives: its record, or the failure's result code.
struct UnitRun {
  HResult result = 0;
  RunRecord record;
};

// The last runs of listed services and timers, each as ReadRunRecord reads it alone, asked
// for together: two waits for the manager at most, whatever their number and the values
// asked for. runs receives one for each unit; started receives the timer and the service
// of each timer that starts a service. Without values, only the properties of the last run
// are asked for.
void ReadRunRecords(const ManagerBus& manager, const std::vector<ListedUnit>& units,
                    const TaskValueRequest& values, UnitJournal* journal,
                    std::map<std::string, UnitRun>& runs,
                    std::vector<std::pair<std::string, std::string>>& started);

// A service's run as the journal has it, where the manager has none (it never ran since it
// was loaded, or the unit is gone) or an older one; a journal that costs a command per
// lookup is asked only in the first case. A run the journal has replaces start and exit
// code; what else the manager said of the unit stays.
void TakeJournalRun(UnitJournal& journal, const std::string& service, UnitRun& run);

// Whether a name ends in the suffix of a unit type (.service, .timer, .socket, ...).
bool HasUnitTypeSuffix(std::string_view name);

// A task name as a unit name: a name without a unit type suffix means the .service unit.
std::string UnitNameOfTask(std::string_view taskName);

enum class UnitKind { Service, Timer, Other };
UnitKind KindOfUnit(std::string_view unitName);

// The exit code of a service's last run: 0 when its Result is "success", else the main
// process's status when it exited (code 1), 128 + the signal when killed or dumped (2, 3),
// and 1 for a unit that failed with no such status to show.
std::uint32_t ServiceExitCode(std::int32_t execMainCode, std::int32_t execMainStatus,
                              std::string_view result);

// Microseconds since the epoch as a local time record; all zero for 0 (never) or infinity.
SystemTime LocalSystemTimeOfMicroseconds(std::uint64_t microseconds);

}  // namespace runwarden
