// A unit's last run read from the local journal or a remote computer's.
#ifndef __linux__
#error "journal_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/journal_linux.h"

#include <poll.h>
#include <sys/socket.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/linux/user_manager_linux.h"

namespace runwarden {
namespace {

// The most bytes taken of a remote lookup's answer; kEntriesPerLookup entries of at most
// a few kilobytes each fit many times.
constexpr std::size_t kMostAnswerBytes = 4 << 20;

// Entries of two lookups, each newest first, as one list newest first.
std::vector<JournalEntry> Merged(std::vector<JournalEntry> entries, std::size_t firstCount) {
  std::inplace_merge(entries.begin(), entries.begin() + static_cast<std::ptrdiff_t>(firstCount),
                     entries.end(), [](const JournalEntry& a, const JournalEntry& b) {
                       return a.realtime > b.realtime;
                     });
  return entries;
}

class LocalJournal final : public UnitJournal {
 public:
  explicit LocalJournal(std::optional<uid_t> user)
      : fields_(user ? kUserManagerFields : kSystemManagerFields),
        manager_(user ? "_UID=" + std::to_string(*user) : "_PID=1"),
        owner_(user ? manager_ : "") {}
  ~LocalJournal() override { sd_journal_close(journal_); }
  bool Cheap() const override { return true; }

 protected:
  std::optional<JournalRun> Read(const std::string& unit) override {
    if (!opened_) {
      opened_ = true;
      // A user's manager and units may log into the user's own journal files.
      const int files = owner_.empty() ? SD_JOURNAL_SYSTEM : 0;
      if (sd_journal_open(&journal_, SD_JOURNAL_LOCAL_ONLY | files) < 0) journal_ = nullptr;
    }
    if (journal_ == nullptr) return std::nullopt;
    std::vector<JournalEntry> entries;
    Lookup({std::string(fields_.managerUnit) + "=" + unit, manager_}, entries);
    const std::size_t managerEntries = entries.size();
    Lookup({std::string(fields_.ownUnit) + "=" + unit, owner_}, entries);
    return LastRunOfEntries(Merged(std::move(entries), managerEntries));
  }

 private:
  // Appends up to kEntriesPerLookup of the newest entries that match every one of matches
  // (an empty one stands for none).
  void Lookup(const std::vector<std::string>& matches, std::vector<JournalEntry>& entries) {
    sd_journal_flush_matches(journal_);
    for (const std::string& match : matches) {
      if (!match.empty() && sd_journal_add_match(journal_, match.data(), match.size()) < 0) return;
    }
    if (sd_journal_seek_tail(journal_) < 0) return;
    const std::array<std::string_view, 7> names = {
        fields_.managerInvocation, fields_.ownInvocation, "MESSAGE_ID", "EXIT_CODE",
        "EXIT_STATUS", "UNIT_RESULT", "MESSAGE"};
    for (std::size_t n = 0; n < kEntriesPerLookup && sd_journal_previous(journal_) > 0; ++n) {
      JournalEntry& entry = entries.emplace_back();
      sd_journal_get_realtime_usec(journal_, &entry.realtime);
      for (std::string_view name : names) {
        const void* data = nullptr;
        std::size_t length = 0;
        if (sd_journal_get_data(journal_, std::string(name).c_str(), &data, &length) < 0) continue;
        const std::string_view field(static_cast<const char*>(data), length);
        KeepJournalField(name, std::string(field.substr(name.size() + 1)), fields_, entry);
      }
    }
  }

  JournalFields fields_;
  std::string manager_;  // the match of the manager's messages
  std::string owner_;    // the match of the unit's own lines besides its name
  sd_journal* journal_ = nullptr;
  bool opened_ = false;
};

class RemoteJournal final : public UnitJournal {
 public:
  RemoteJournal(const SshDestination& destination, std::chrono::steady_clock::time_point deadline,
                std::string_view user)
      : destination_(destination), deadline_(deadline), user_(user) {}
  bool Cheap() const override { return false; }

 protected:
  std::optional<JournalRun> Read(const std::string& unit) override {
    const JournalFields& fields = user_.empty() ? kSystemManagerFields : kUserManagerFields;
    const std::string answer = Run(RemoteJournalCommand(unit, user_));
    // The answer holds the two lookups, an empty line between them.
    std::vector<JournalEntry> entries;
    std::optional<std::size_t> firstCount;
    std::size_t start = 0;
    while (start < answer.size()) {
      std::size_t end = answer.find('\n', start);
      if (end == std::string::npos) end = answer.size();
      const std::string_view line = std::string_view(answer).substr(start, end - start);
      JournalEntry entry;
      if (line.empty() && !firstCount) {
        firstCount = entries.size();
      } else if (ParseJournalJsonLine(line, fields, entry)) {
        entries.push_back(std::move(entry));
      }
      start = end + 1;
    }
    if (!firstCount) return std::nullopt;  // the answer ended early
    return LastRunOfEntries(Merged(std::move(entries), *firstCount));
  }

 private:
  // What the command wrote on its standard output by the deadline; empty when it failed.
  std::string Run(const std::string& command) {
    SshTunnel ssh;
    const int output =
        ssh.Start(SshArguments(destination_, ConnectTimeoutWithin(deadline_), command));
    if (output < 0) return {};
    shutdown(output, SHUT_WR);
    std::string answer;
    char buffer[65536];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline_ - std::chrono::steady_clock::now());
      pollfd readable{output, POLLIN, 0};
      if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count()) + 1) <= 0) {
        answer.clear();  // silent to the end: no answer rather than half of one
        break;
      }
      const ssize_t n = read(output, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      answer.append(buffer, static_cast<std::size_t>(n));
      if (answer.size() > kMostAnswerBytes) break;
    }
    close(output);
    return answer;
  }

  // ssh's own connect time, within what is left of the deadline.
  static std::chrono::seconds ConnectTimeoutWithin(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(
        deadline - std::chrono::steady_clock::now());
    return std::clamp(left, std::chrono::seconds(1), std::chrono::seconds(10));
  }

  SshDestination destination_;
  std::chrono::steady_clock::time_point deadline_;
  std::string user_;
};

}  // namespace

const std::optional<JournalRun>& UnitJournal::LastRun(const std::string& unit) {
  const auto known = runs_.find(unit);
  if (known != runs_.end()) return known->second;
  return runs_.emplace(unit, Read(unit)).first->second;
}

std::unique_ptr<UnitJournal> NewLocalJournal(std::optional<uid_t> user) {
  return std::make_unique<LocalJournal>(user);
}

std::unique_ptr<UnitJournal> NewRemoteJournal(const SshDestination& destination,
                                              std::chrono::steady_clock::time_point deadline,
                                              std::string_view user) {
  return std::make_unique<RemoteJournal>(destination, deadline, user);
}

// A user's lookups match its number, read on the remote side.
std::string RemoteJournalCommand(const std::string& unit, std::string_view user) {
  const JournalFields& fields = user.empty() ? kSystemManagerFields : kUserManagerFields;
  const std::string lookup = "journalctl -q --no-pager -o json --output-fields=" +
                             JournalOutputFields(fields) + " -r -n " +
                             std::to_string(kEntriesPerLookup) + " ";
  const std::string manager = user.empty() ? "_PID=1" : "\"_UID=$uid\"";
  const std::string owner = user.empty() ? "" : " \"_UID=$uid\"";
  const std::string preamble =
      user.empty() ? ""
                   : "uid=$(id -u -- " + ShellQuoted(user) + ") || exit " +
                         std::to_string(kNoSuchUserStatus) + "; ";
  return preamble + lookup + ShellQuoted(std::string(fields.managerUnit) + "=" + unit) + " " +
         manager + "; echo; " + lookup + ShellQuoted(std::string(fields.ownUnit) + "=" + unit) +
         owner;
}

}  // namespace runwarden
