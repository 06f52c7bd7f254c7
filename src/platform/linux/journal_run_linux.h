#pragma once
// A unit's last run as its manager wrote it into the journal: the start of the last
// invocation, how its main process ended, and the lines the run itself wrote. Pure rules
// over entries that either the local journal or `journalctl -o json` on a remote computer
// gave.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace runwarden {

// The journal fields that name a unit and its invocation, for the messages of its manager
// and for the lines of its own processes. A system manager and a user's manager use
// different ones.
struct JournalFields {
  std::string_view managerUnit;        // the unit a manager's message is about
  std::string_view managerInvocation;  // its invocation
  std::string_view ownUnit;            // the unit whose process wrote a line
  std::string_view ownInvocation;
};

inline constexpr JournalFields kSystemManagerFields{"UNIT", "INVOCATION_ID", "_SYSTEMD_UNIT",
                                                    "_SYSTEMD_INVOCATION_ID"};
inline constexpr JournalFields kUserManagerFields{"USER_UNIT", "USER_INVOCATION_ID",
                                                  "_SYSTEMD_USER_UNIT", "_SYSTEMD_INVOCATION_ID"};

// The fields of one entry that the rules read.
struct JournalEntry {
  std::uint64_t realtime = 0;     // microseconds since the epoch
  std::string managerInvocation;  // set on a manager's message about the unit
  std::string ownInvocation;      // set on a line of the unit's own processes
  std::string messageId, exitCode, exitStatus, unitResult, message;
};

// The last invocation found; start 0 when the manager's messages of it are gone (rotated).
struct JournalRun {
  std::uint64_t start = 0;
  std::uint32_t exitCode = 0;
  std::vector<std::string> lines;  // the run's own lines, oldest first
};

// The most lines a check may ask for, and so the most kept of a run.
inline constexpr std::size_t kMostLogLines = 50;

// The entries that ask a unit's last run of the journal: the newest of its manager's
// messages about it (managerUnit=<unit>, from the system manager's PID 1 or the user's
// _UID), and the newest lines of its own processes (ownUnit=<unit>, a user's with its
// _UID), each up to this many, merged newest first.
inline constexpr std::size_t kEntriesPerLookup = 60;

// The run of the newest invocation among entries given newest first: its start is its
// earliest message of the manager; its exit code 0 when the manager logged success, else as
// ServiceExitCode makes it of the main process's exit and the unit's result, 0 while no end
// was logged. Up to kMostLogLines of its own lines are kept. None without an invocation.
std::optional<JournalRun> LastRunOfEntries(const std::vector<JournalEntry>& newestFirst);

// Keeps one field of an entry where the rules read it; other fields are left alone.
void KeepJournalField(std::string_view name, std::string value, const JournalFields& fields,
                      JournalEntry& entry);

// One line of `journalctl -o json` read into an entry: strings, numbers' text, and byte
// arrays (which journalctl writes for values that are not printable text); false for a
// line that is not such an object.
bool ParseJournalJsonLine(std::string_view line, const JournalFields& fields,
                          JournalEntry& entry);

// The fields that ParseJournalJsonLine reads, for journalctl's --output-fields.
std::string JournalOutputFields(const JournalFields& fields);

}  // namespace runwarden
