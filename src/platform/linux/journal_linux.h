#pragma once
// The journal of the computer whose manager a check reads, asked for a unit's last run:
// the local one through sd-journal, a remote one through `journalctl -o json` over ssh.

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/journal_run_linux.h"
#include "platform/linux/ssh_tunnel_linux.h"

namespace runwarden {

class UnitJournal {
 public:
  virtual ~UnitJournal() = default;
  // The unit's last run as the journal holds it; none when the journal holds no run of it
  // or cannot be read (no permission: the account needs root or the systemd-journal group).
  // Read once per unit and kept.
  const std::optional<JournalRun>& LastRun(const std::string& unit);
  // Whether a lookup costs so little that every run is compared with the journal, not only
  // those the manager has no data of.
  virtual bool Cheap() const = 0;

 protected:
  virtual std::optional<JournalRun> Read(const std::string& unit) = 0;

 private:
  std::map<std::string, std::optional<JournalRun>> runs_;
};

// The journal of this computer, for the system manager's units or, with user, for those of
// that user's manager.
std::unique_ptr<UnitJournal> NewLocalJournal(std::optional<uid_t> user = std::nullopt);

// The journal of a remote computer: each unit's lookup is one ssh command that ends by the
// deadline. user: the name or number of the user whose manager's units are looked up;
// empty: the system manager's.
std::unique_ptr<UnitJournal> NewRemoteJournal(const SshDestination& destination,
                                              std::chrono::steady_clock::time_point deadline,
                                              std::string_view user = {});

// The remote command that lists a unit's last entries as JSON lines: the two lookups, each
// newest first, an empty line between them.
std::string RemoteJournalCommand(const std::string& unit, std::string_view user);

}  // namespace runwarden
