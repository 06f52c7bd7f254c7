// The scheduler objects of Linux: systemd services and timers read through sd-bus.
#ifndef __linux__
#error "systemd_scheduler_linux.cpp belongs to the Linux build only"
#endif

#include "platform/posix/systemd_scheduler_linux.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <memory>

#include "platform/posix/real_platform_linux.h"
#include "platform/posix/ssh_tunnel_linux.h"

namespace runwarden {
namespace {

constexpr char kManagerService[] = "org.freedesktop.systemd1";
constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
constexpr char kUnitPathPrefix[] = "/org/freedesktop/systemd1/unit";
constexpr char kUnitInterface[] = "org.freedesktop.systemd1.Unit";
constexpr char kServiceInterface[] = "org.freedesktop.systemd1.Service";
constexpr char kTimerInterface[] = "org.freedesktop.systemd1.Timer";

std::uint64_t Microseconds(std::chrono::seconds duration) {
  return static_cast<std::uint64_t>(std::chrono::microseconds(duration).count());
}

void AppendUtf8(std::string& text, char32_t code) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xC0 | (code >> 6));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xE0 | (code >> 12));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    text += static_cast<char>(0xF0 | (code >> 18));
    text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    text += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Brings a started connection up (authentication and Hello, which sd-bus would otherwise
// wait for up to 90 seconds), then has the manager answer a ping: proof that the
// connection reaches it. Each of the two steps takes at most limit.
int ReachManager(sd_bus* bus, std::chrono::seconds limit, sd_bus_error* error) {
  sd_bus_set_method_call_timeout(bus, Microseconds(limit));
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (int r; (r = sd_bus_is_ready(bus)) <= 0;) {
    if (r < 0) return r;
    if ((r = sd_bus_process(bus, nullptr)) < 0) return r;
    if (r > 0) continue;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return -ETIMEDOUT;
    if ((r = sd_bus_wait(bus, static_cast<std::uint64_t>(left.count()))) < 0) return r;
  }
  return sd_bus_call_method(bus, kManagerService, kManagerPath, "org.freedesktop.DBus.Peer", "Ping",
                            error, nullptr, "");
}

// A unit's object path, made here rather than asked for with LoadUnit: the manager loads
// a unit that is not loaded yet when its path is first used, and refuses a name that is no
// unit name (InvalidArgs) there. Empty only when memory runs out; a call to it then fails.
std::string UnitPath(const std::string& unitName) {
  char* path = nullptr;
  if (sd_bus_path_encode(kUnitPathPrefix, unitName.c_str(), &path) < 0) return {};
  std::string result = path;
  free(path);
  return result;
}

// Properties asked for together: every Get is sent before the first answer is awaited,
// which spares the round trips in between (docs/performance.md). The answers are then
// read in the order asked, as if asked one after the other: after the first failure the
// rest read as nothing, and that failure is what Result() reports. Each answer is bounded
// by the connection's method call timeout.
class PropertyBatch {
 public:
  PropertyBatch(sd_bus* bus, bool remote) : bus_(bus), remote_(remote) {}
  PropertyBatch(const PropertyBatch&) = delete;
  PropertyBatch& operator=(const PropertyBatch&) = delete;
  ~PropertyBatch() {
    for (Answer& answer : answers_) {
      sd_bus_slot_unref(answer.slot);  // an answer still awaited is no longer taken
      sd_bus_message_unref(answer.reply);
    }
  }

  // Sends the Get; returns the number of its answer.
  std::size_t Ask(const std::string& path, const char* interface, const char* member) {
    Answer& answer = answers_.emplace_back();
    answer.failure = sd_bus_call_method_async(bus_, &answer.slot, kManagerService, path.c_str(),
                                              "org.freedesktop.DBus.Properties", "Get", TakeAnswer,
                                              &answer, "ss", interface, member);
    return answers_.size() - 1;
  }

  // Waits until every answer is in; a broken connection fails the ones still awaited.
  void Wait() {
    const auto awaited = [this] {
      return std::any_of(answers_.begin(), answers_.end(),
                         [](const Answer& a) { return a.reply == nullptr && a.failure >= 0; });
    };
    while (awaited()) {
      int r = sd_bus_process(bus_, nullptr);
      if (r == 0) r = sd_bus_wait(bus_, UINT64_MAX);  // until the next answer's deadline
      if (r < 0) {
        for (Answer& answer : answers_) {
          if (answer.reply == nullptr && answer.failure >= 0) answer.failure = r;
        }
      }
    }
  }

  bool Failed() const { return failure_ < 0; }
  HResult Result() const { return ResultOfBusFailure(failure_, errorName_, remote_); }

  std::string Text(std::size_t index) {
    const char* value = nullptr;
    return Read(index, "s", &value) && value ? value : "";
  }

  // type: the D-Bus signature letter of T ('t' for 64-bit unsigned, 'i' for 32-bit signed).
  template <class T>
  T Number(std::size_t index, char type) {
    T value{};
    const char signature[] = {type, '\0'};
    return Read(index, signature, &value) ? value : T{};
  }

 private:
  struct Answer {
    sd_bus_slot* slot = nullptr;
    sd_bus_message* reply = nullptr;  // the answer, a value or an error
    int failure = 0;                  // negative errno of a call that was not answered
  };

  static int TakeAnswer(sd_bus_message* reply, void* answer, sd_bus_error*) {
    static_cast<Answer*>(answer)->reply = sd_bus_message_ref(reply);
    return 0;
  }

  template <class T>
  bool Read(std::size_t index, const char* signature, T* value) {
    if (Failed()) return false;
    const Answer& answer = answers_[index];
    int r = answer.failure;
    if (r >= 0 && sd_bus_message_is_method_error(answer.reply, nullptr)) {
      const int code = sd_bus_message_get_errno(answer.reply);
      r = code > 0 ? -code : -EIO;
      const sd_bus_error* error = sd_bus_message_get_error(answer.reply);
      if (error != nullptr && error->name != nullptr) errorName_ = error->name;
    } else if (r >= 0) {
      r = sd_bus_message_read(answer.reply, "v", signature, value);
    }
    if (r < 0) failure_ = r;
    return r >= 0;
  }

  sd_bus* bus_;
  bool remote_;
  std::deque<Answer> answers_;  // stays in place: the answer callbacks point into it
  int failure_ = 0;
  std::string errorName_;
};

// What a task object reports: read once, when the task is opened.
struct RunRecord {
  std::uint64_t lastStart = 0;  // microseconds since the epoch, 0: never
  std::uint32_t exitCode = 0;
};

// The answers about a service's last run in a batch.
struct ServiceAnswers {
  std::size_t start = 0, code = 0, status = 0, result = 0;
};

ServiceAnswers AskServiceRun(PropertyBatch& batch, const std::string& path) {
  return {batch.Ask(path, kServiceInterface, "ExecMainStartTimestamp"),
          batch.Ask(path, kServiceInterface, "ExecMainCode"),
          batch.Ask(path, kServiceInterface, "ExecMainStatus"),
          batch.Ask(path, kServiceInterface, "Result")};
}

// The service's last run from its answers; its start is the later of its own and
// lastTrigger (0, or the last trigger of the timer that starts it).
HResult TakeServiceRun(PropertyBatch& batch, const ServiceAnswers& service,
                       std::uint64_t lastTrigger, RunRecord& record) {
  std::uint64_t start = batch.Number<std::uint64_t>(service.start, 't');
  const auto code = batch.Number<std::int32_t>(service.code, 'i');
  const auto status = batch.Number<std::int32_t>(service.status, 'i');
  const std::string result = batch.Text(service.result);
  if (batch.Failed()) return batch.Result();
  if (lastTrigger == UINT64_MAX) lastTrigger = 0;
  if (start == UINT64_MAX) start = 0;
  record = {std::max(start, lastTrigger), ServiceExitCode(code, status, result)};
  return 0;
}

// The last run of a unit's service: start and exit code. For a timer, the start is the
// later of its last trigger and its service's start. One batch asks for everything the
// unit's kind tells; a timer's service takes a second one.
HResult ReadRunRecord(sd_bus* bus, bool remote, const std::string& unitName, RunRecord& record) {
  PropertyBatch batch(bus, remote);
  const UnitKind kind = KindOfUnit(unitName);
  const std::string path = UnitPath(unitName);
  const std::size_t loadState = batch.Ask(path, kUnitInterface, "LoadState");
  ServiceAnswers service;
  std::size_t lastTriggerAnswer = 0, serviceNameAnswer = 0;
  if (kind == UnitKind::Service) service = AskServiceRun(batch, path);
  if (kind == UnitKind::Timer) {
    lastTriggerAnswer = batch.Ask(path, kTimerInterface, "LastTriggerUSec");
    serviceNameAnswer = batch.Ask(path, kTimerInterface, "Unit");
  }
  batch.Wait();
  const std::string state = batch.Text(loadState);
  if (batch.Failed()) return batch.Result();
  if (state == "not-found") return kUnknownTask;

  switch (kind) {
    case UnitKind::Service:
      return TakeServiceRun(batch, service, 0, record);
    case UnitKind::Timer:
      break;
    case UnitKind::Other:
      return kNoInterface;
  }
  const auto lastTrigger = batch.Number<std::uint64_t>(lastTriggerAnswer, 't');
  const std::string serviceName = batch.Text(serviceNameAnswer);
  if (batch.Failed()) return batch.Result();
  if (KindOfUnit(serviceName) != UnitKind::Service) {  // a timer that starts no service
    record = {lastTrigger == UINT64_MAX ? 0 : lastTrigger, 0};
    return 0;
  }
  PropertyBatch serviceBatch(bus, remote);
  const std::string servicePath = UnitPath(serviceName);
  const std::size_t serviceState = serviceBatch.Ask(servicePath, kUnitInterface, "LoadState");
  service = AskServiceRun(serviceBatch, servicePath);
  serviceBatch.Wait();
  if (serviceBatch.Text(serviceState) == "not-found") return kUnknownTask;
  return TakeServiceRun(serviceBatch, service, lastTrigger, record);
}

class SystemdTask final : public ITask {
 public:
  explicit SystemdTask(const RunRecord& record) : record_(record) {}
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HResult GetMostRecentRunTime(SystemTime* lastRun) override {
    *lastRun = LocalSystemTimeOfMicroseconds(record_.lastStart);
    return record_.lastStart == 0 ? kTaskHasNotRun : 0;
  }
  HResult GetExitCode(std::uint32_t* exitCode) override {
    *exitCode = record_.exitCode;
    return record_.lastStart == 0 ? kTaskHasNotRun : 0;
  }

 private:
  ~SystemdTask() = default;
  std::uint32_t count_ = 1;
  RunRecord record_;
};

// One connection to a manager: the local one, or a remote one through ssh. The bus is
// closed before ssh is stopped, so that ssh ends by itself.
class SystemdScheduler final : public ITaskScheduler {
 public:
  SystemdScheduler(sd_bus* bus, std::string_view remoteLogin)
      : bus_(bus), remoteLogin_(remoteLogin) {}
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

    auto tunnel = std::make_unique<SshTunnel>();
    const int connection = tunnel->Start(SshArguments(destination, kSshConnectTimeout));
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
    if (r >= 0) r = ReachManager(bus, kRemoteCallTimeout, &error);
    if (r < 0) {
      const HResult result = RemoteFailure(r, error, *tunnel);
      sd_bus_error_free(&error);
      sd_bus_close_unref(bus);
      return result;
    }
    CloseConnection();
    bus_ = bus;
    tunnel_ = std::move(tunnel);
    return 0;
  }

  HResult Activate(const char16_t* name, const Guid& iid, ITask** item) override {
    *item = nullptr;
    if (iid != IID_ITask) return kNoInterface;
    RunRecord record;
    const HResult read = ReadRunRecord(bus_, tunnel_ != nullptr, UnitNameOfTask(Utf8FromUtf16(name)),
                                       record);
    if (read != 0) return read;
    *item = new SystemdTask(record);
    return 0;
  }

 private:
  ~SystemdScheduler() { CloseConnection(); }

  void CloseConnection() {
    bus_ = sd_bus_close_unref(bus_);
    tunnel_.reset();
  }

  // A failed start of a remote connection: a D-Bus answer names its reason; a broken or
  // silent connection is judged by how ssh ended.
  static HResult RemoteFailure(int r, const sd_bus_error& error, SshTunnel& tunnel) {
    const bool transport = r == -ECONNRESET || r == -ENOTCONN || r == -EPIPE || r == -ETIMEDOUT ||
                           r == -EIO || r == -EBADMSG;
    if (!transport) return ResultOfBusFailure(r, error.name ? error.name : "", true);
    switch (tunnel.Failure()) {
      case SshFailure::AccessDenied:
        return kAccessDenied;
      case SshFailure::Unreachable:
        return kHostUnreachable;
      case SshFailure::Other:
        break;
    }
    return kFailure;
  }

  std::uint32_t count_ = 1;
  sd_bus* bus_;
  std::unique_ptr<SshTunnel> tunnel_;  // set while the bus reaches a remote computer
  std::string remoteLogin_;
};

}  // namespace

HResult CreateSystemdScheduler(std::string_view remoteLogin, ITaskScheduler** object) {
  *object = nullptr;
  sd_bus* bus = nullptr;
  int r = sd_bus_open_system(&bus);  // DBUS_SYSTEM_BUS_ADDRESS, else the standard socket
  sd_bus_error error{};
  if (r >= 0) r = ReachManager(bus, kLocalCallTimeout, &error);
  if (r < 0) {
    const HResult result = ResultOfBusFailure(r, error.name ? error.name : "", false);
    sd_bus_error_free(&error);
    sd_bus_close_unref(bus);
    return result;
  }
  *object = new SystemdScheduler(bus, remoteLogin);
  return 0;
}

std::string UnitNameOfTask(std::string_view taskName) {
  std::string name(taskName);
  if (KindOfUnit(name) == UnitKind::Other) {
    static constexpr std::array<std::string_view, 9> kOtherTypes = {
        ".socket", ".device", ".mount", ".automount", ".swap", ".target", ".path", ".slice", ".scope"};
    if (std::none_of(kOtherTypes.begin(), kOtherTypes.end(),
                     [&](std::string_view type) { return name.ends_with(type); })) {
      name += ".service";
    }
  }
  return name;
}

UnitKind KindOfUnit(std::string_view unitName) {
  if (unitName.ends_with(".service")) return UnitKind::Service;
  if (unitName.ends_with(".timer")) return UnitKind::Timer;
  return UnitKind::Other;
}

std::uint32_t ServiceExitCode(std::int32_t execMainCode, std::int32_t execMainStatus,
                              std::string_view result) {
  constexpr std::int32_t kExited = 1, kKilled = 2, kDumped = 3;  // CLD_* of waitid()
  if (result == "success") return 0;
  if (execMainCode == kExited && execMainStatus != 0) {
    return static_cast<std::uint32_t>(execMainStatus);
  }
  if (execMainCode == kKilled || execMainCode == kDumped) {
    return 128u + static_cast<std::uint32_t>(execMainStatus);
  }
  // The unit failed although no main process reports a failure (a failing ExecStartPost=,
  // a timeout, a start limit): that must not read as success.
  return 1;
}

SystemTime LocalSystemTimeOfMicroseconds(std::uint64_t microseconds) {
  if (microseconds == 0 || microseconds == UINT64_MAX) return {};
  return LocalSystemTime(static_cast<std::time_t>(microseconds / 1'000'000),
                         static_cast<std::uint16_t>(microseconds % 1'000'000 / 1000));
}

HResult ResultOfBusFailure(int error, std::string_view errorName, bool remote) {
  if (errorName == "org.freedesktop.systemd1.NoSuchUnit" ||
      errorName == "org.freedesktop.DBus.Error.InvalidArgs") {
    return kUnknownTask;  // also a name the manager refuses as a unit name
  }
  if (errorName == "org.freedesktop.DBus.Error.AccessDenied" ||
      errorName == "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired") {
    return kAccessDenied;
  }
  if (errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
      errorName == "org.freedesktop.DBus.Error.NameHasNoOwner") {
    return kServiceNotRunning;  // the bus is there, the manager is not on it
  }
  switch (-error) {
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case ENOENT:        // no bus socket
    case ECONNREFUSED:  // a socket nobody listens on
    case ECONNRESET:
    case ENOTCONN:
    case EPIPE:
    case ETIMEDOUT:  // a manager or bus that does not answer
      return remote ? kHostUnreachable : kServiceNotRunning;
    default:
      return kFailure;
  }
}

std::string Utf8FromUtf16(const char16_t* text) {
  std::string utf8;
  for (; *text; ++text) {
    char32_t code = *text;
    if (code >= 0xD800 && code < 0xDC00 && text[1] >= 0xDC00 && text[1] < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[1] - 0xDC00);
      ++text;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    AppendUtf8(utf8, code);
  }
  return utf8;
}

}  // namespace runwarden
