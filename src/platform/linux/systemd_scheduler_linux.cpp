// The scheduler objects of Linux: a connection to a systemd manager, local or through ssh,
// and the task objects that hold a unit's last run.
#ifndef __linux__
#error "systemd_scheduler_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/systemd_scheduler_linux.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/linux/journal_linux.h"
#include "platform/linux/real_platform_linux.h"
#include "platform/linux/ssh_tunnel_linux.h"
#include "platform/linux/systemd_bus_linux.h"
#include "platform/linux/systemd_task_linux.h"
#include "platform/linux/timer_schedule_linux.h"
#include "platform/linux/unit_listing_linux.h"
#include "platform/linux/unit_run_record_linux.h"
#include "platform/linux/user_manager_linux.h"

namespace runwarden {
namespace {

// The deadline of a connection that starts now: the earlier of the check's own limit and
// the deadline given for the whole check.
Deadline ConnectionDeadline(std::chrono::seconds limit, Deadline checkDeadline) {
  return std::min(checkDeadline, std::chrono::steady_clock::now() + limit);
}

// The local system manager's bus: DBUS_SYSTEM_BUS_ADDRESS, else the standard socket.
HResult ConnectSystemManager(Deadline deadline, sd_bus** connection) {
  sd_bus* bus = nullptr;
  const int r = sd_bus_open_system(&bus);
  return TakeLocalManagerBus(bus, r, deadline, connection);
}

// The local manager that user names (the system's when empty), and the journal of its units.
HResult ConnectLocalManager(std::string_view user, Deadline deadline, sd_bus** connection,
                            std::shared_ptr<UnitJournal>& journal) {
  if (user.empty()) {
    journal = NewLocalJournal();
    return ConnectSystemManager(deadline, connection);
  }
  const std::optional<uid_t> uid = LocalUserId(user);
  if (!uid) return kUnknownAccount;
  journal = NewLocalJournal(*uid);
  return ConnectUserManager(*uid, deadline, connection);
}

// The names of listed tasks, given out in their order.
class SystemdWorkItems final : public IEnumWorkItems {
 public:
  explicit SystemdWorkItems(std::vector<std::u16string> names) : names_(std::move(names)) {}
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }
  // The manager's matches, by rules that add to the check's (PatternGlobs).
  bool MatchedByScheduler() override { return true; }
  HResult Next(std::uint32_t wanted, std::vector<std::u16string>& names) override {
    const std::size_t end = std::min(names_.size(), given_ + wanted);
    names.insert(names.end(), names_.begin() + static_cast<std::ptrdiff_t>(given_),
                 names_.begin() + static_cast<std::ptrdiff_t>(end));
    const bool all = end - given_ == wanted;
    given_ = end;
    return all ? 0 : kFalse;
  }

 private:
  ~SystemdWorkItems() = default;
  std::uint32_t count_ = 1;
  std::vector<std::u16string> names_;
  std::size_t given_ = 0;
};

// One connection to a manager: the local one, or a remote one through ssh; none yet when
// the object was made for another computer. The bus is closed before ssh is stopped, so
// that ssh ends by itself. Every call over a connection ends by its deadline.
class SystemdScheduler final : public ITaskScheduler {
 public:
  SystemdScheduler(sd_bus* bus, std::shared_ptr<UnitJournal> journal, Deadline deadline,
                   const ManagerChoice& choice, Deadline checkDeadline,
                   const TaskValueRequest& values)
      : bus_(bus),
        deadline_(deadline),
        journal_(std::move(journal)),
        remoteLogin_(choice.remoteLogin),
        userManager_(choice.userManager),
        checkDeadline_(checkDeadline),
        values_(values) {}
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }

  HResult SetTargetComputer(const char16_t* computer) override {
    std::string host = Utf8FromUtf16(computer);
    if (host.starts_with("\\\\")) host.erase(0, 2);
    SshDestination destination;
    if (!ParseSshDestination(host, remoteLogin_, destination)) return kHostUnreachable;

    const Deadline deadline = ConnectionDeadline(kRemoteCheckLimit, checkDeadline_);
    auto tunnel = std::make_unique<SshTunnel>();
    const int connection = tunnel->Start(SshArguments(
        destination, kSshConnectTimeout,
        userManager_.empty() ? "systemd-stdio-bridge" : RemoteUserBridgeCommand(userManager_)));
    if (connection < 0) return kFailure;  // no ssh to start
    sd_bus* bus = nullptr;
    int r = sd_bus_new(&bus);
    if (r < 0) {
      close(connection);
      return kFailure;
    }
    sd_bus_set_fd(bus, connection, connection);  // the bus owns the socket from here on
    sd_bus_set_bus_client(bus, 1);
    sd_bus_set_trusted(bus, 1);  // no peer credentials travel through ssh
    sd_bus_error error{};
    r = sd_bus_start(bus);
    if (r >= 0) r = ReachManager({bus, true, deadline}, &error);
    if (r < 0) {
      const HResult result = RemoteFailure(r, error, *tunnel, deadline);
      sd_bus_error_free(&error);
      sd_bus_close_unref(bus);
      return result;
    }
    CloseConnection();
    bus_ = bus;
    tunnel_ = std::move(tunnel);
    deadline_ = deadline;
    journal_ = NewRemoteJournal(destination, deadline, userManager_);
    return 0;
  }

  HResult Activate(const char16_t* name, const Guid& iid, ITask** item) override {
    *item = nullptr;
    if (iid != IID_ITask) return kNoInterface;
    const std::string unitName = UnitNameOfTask(Utf8FromUtf16(name));
    if (const auto listed = listedRuns_.find(unitName); listed != listedRuns_.end()) {
      if (listed->second.result != 0) return listed->second.result;
      *item = NewSystemdTask(listed->second.record, unitName, journal_, Schedules());
      return 0;
    }
    if (bus_ == nullptr) {  // never pointed at a computer: the local one is asked
      if (const HResult connected = ConnectLocal(); connected != 0) return connected;
    }
    RunRecord record;
    const HResult read = ReadRunRecord(Manager(), unitName, values_, journal_.get(), record);
    if (read != 0) return read;
    *item = NewSystemdTask(record, unitName, journal_, Schedules());
    return 0;
  }

  // The manager matches the names; the last runs of the listed units are read at once and
  // kept for the Activate calls that follow.
  HResult Enum(const char16_t* pattern, IEnumWorkItems** items) override {
    *items = nullptr;
    if (bus_ == nullptr) {
      if (const HResult connected = ConnectLocal(); connected != 0) return connected;
    }
    std::vector<ListedUnit> units;
    std::map<std::string, std::string> shownAs;
    const HResult listed =
        ListTaskUnits(Manager(), PatternGlobs(Utf8FromUtf16(pattern)), units, shownAs);
    if (listed != 0) return listed;
    std::vector<std::pair<std::string, std::string>> started;
    ReadRunRecords(Manager(), units, values_, journal_.get(), listedRuns_, started);
    std::vector<std::u16string> names;
    for (std::string unit : TaskNamesOf(units, started)) {
      if (const auto alias = shownAs.find(unit); alias != shownAs.end()) {
        listedRuns_[alias->second] = listedRuns_[unit];
        unit = alias->second;
      }
      names.emplace_back(unit.begin(), unit.end());  // unit names are ASCII
    }
    *items = new SystemdWorkItems(std::move(names));
    return 0;
  }

 private:
  ~SystemdScheduler() { CloseConnection(); }

  HResult ConnectLocal() {
    deadline_ = ConnectionDeadline(kLocalCheckLimit, checkDeadline_);
    return ConnectLocalManager(userManager_, deadline_, &bus_, journal_);
  }

  ManagerBus Manager() const { return {bus_, tunnel_ != nullptr, deadline_}; }

  // The timer data of the connection's units, read only when a task is asked for it.
  std::shared_ptr<TimerScheduleSource> Schedules() {
    if (!schedules_) schedules_ = std::make_shared<TimerScheduleSource>(Manager());
    return schedules_;
  }

  void CloseConnection() {
    schedules_.reset();
    bus_ = sd_bus_close_unref(bus_);
    tunnel_.reset();
    journal_.reset();
    listedRuns_.clear();
  }

  // A failed start of a remote connection: a D-Bus answer names its reason; a broken or
  // silent connection is judged by how ssh ended.
  static HResult RemoteFailure(int r, const sd_bus_error& error, SshTunnel& tunnel,
                               Deadline deadline) {
    const bool transport = r == -ECONNRESET || r == -ENOTCONN || r == -EPIPE || r == -ETIMEDOUT ||
                           r == -EIO || r == -EBADMSG;
    if (!transport) return ResultOfBusFailure(r, error.name ? error.name : "", true);
    switch (tunnel.Failure(deadline)) {
      case SshFailure::AccessDenied:
        return kAccessDenied;
      case SshFailure::Unreachable:
        return kHostUnreachable;
      case SshFailure::NoSuchUser:
        return kUnknownAccount;
      case SshFailure::NoUserManager:
        return kServiceNotRunning;
      case SshFailure::Other:
        break;
    }
    return kFailure;
  }

  std::uint32_t count_ = 1;
  sd_bus* bus_;
  Deadline deadline_;                  // of the calls over bus_
  std::unique_ptr<SshTunnel> tunnel_;  // set while the bus reaches a remote computer
  std::shared_ptr<UnitJournal> journal_;  // of the computer the bus reaches
  std::string remoteLogin_;
  std::string userManager_;  // empty: the system manager
  Deadline checkDeadline_;
  TaskValueRequest values_;  // read of each task besides its last run
  std::map<std::string, UnitRun> listedRuns_;  // of the units the last Enum listed
  std::shared_ptr<TimerScheduleSource> schedules_;  // of bus_
};

}  // namespace

HResult CreateSystemdScheduler(const ManagerChoice& choice, bool connectLocal,
                               Deadline checkDeadline, const TaskValueRequest& values,
                               ITaskScheduler** object) {
  *object = nullptr;
  sd_bus* bus = nullptr;
  std::shared_ptr<UnitJournal> journal;
  Deadline deadline = checkDeadline;
  if (connectLocal) {
    deadline = ConnectionDeadline(kLocalCheckLimit, checkDeadline);
    const HResult connected = ConnectLocalManager(choice.userManager, deadline, &bus, journal);
    if (connected != 0) return connected;
  }
  *object = new SystemdScheduler(bus, std::move(journal), deadline, choice, checkDeadline, values);
  return 0;
}

}  // namespace runwarden
