#pragma once
// The D-Bus connection to a systemd manager: bringing it up in bounded time, the object
// path of a unit, properties asked for in batches, and failed calls as the result codes
// that Windows' Task Scheduler gives for the same situation.

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com_runtime.h"

namespace runwarden {

inline constexpr HResult kUnknownTask = static_cast<HResult>(0x80070002);      // file not found
inline constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005);     // access denied
inline constexpr HResult kHostUnreachable = static_cast<HResult>(0x80070035);  // path not found
inline constexpr HResult kServiceNotRunning = static_cast<HResult>(0x80041315);
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);  // not a task
inline constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);
inline constexpr HResult kFailure = static_cast<HResult>(0x80004005);
inline constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154);
// A success code that tells the task has never run.
inline constexpr HResult kTaskHasNotRun = 0x00041303;

// How long a whole check may take with one connection, from its start (ssh's login
// included) to the last answer: every wait on the manager ends by then.
inline constexpr std::chrono::seconds kLocalCheckLimit{10};
inline constexpr std::chrono::seconds kRemoteCheckLimit{20};
// ssh's own limit for reaching the computer and its greeting.
inline constexpr std::chrono::seconds kSshConnectTimeout{10};

using Deadline = std::chrono::steady_clock::time_point;

// Microseconds from now until the deadline, at least 1 (sd-bus reads 0 as its default
// timeout); 0 once it has passed.
std::uint64_t MicrosecondsLeft(Deadline deadline);

inline constexpr char kManagerService[] = "org.freedesktop.systemd1";
inline constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
inline constexpr char kManagerInterface[] = "org.freedesktop.systemd1.Manager";
inline constexpr char kUnitInterface[] = "org.freedesktop.systemd1.Unit";
inline constexpr char kServiceInterface[] = "org.freedesktop.systemd1.Service";
inline constexpr char kTimerInterface[] = "org.freedesktop.systemd1.Timer";

// A connection to a manager as the calls over it use it: the bus, whether it goes to
// another computer, and the moment by which every call over it must have returned.
struct ManagerBus {
  sd_bus* bus = nullptr;
  bool remote = false;
  Deadline deadline;
};

// Brings a started connection up (authentication and Hello, which sd-bus would otherwise
// wait for up to 90 seconds), then has the manager answer: proof that the connection
// reaches it. Through a bus daemon that is a Ping. Through systemd-stdio-bridge (remote)
// a Ping is answered by the bridge itself, whether or not a manager is behind it, so
// there the manager's Version property is asked for. Both steps together end by the
// deadline (-ETIMEDOUT). 0 or a negative errno.
int ReachManager(const ManagerBus& manager, sd_bus_error* error);

// A local bus whose opening or start gave r (0 or a negative errno): once the manager
// answers on it (ReachManager), the connection; otherwise the bus closed and the failure's
// result code (ResultOfBusFailure).
HResult TakeLocalManagerBus(sd_bus* bus, int r, Deadline deadline, sd_bus** connection);

// A unit's object path, made here rather than asked for with LoadUnit: the manager loads
// a unit that is not loaded yet when its path is first used, and refuses a name that is no
// unit name (InvalidArgs) there. Empty only when memory runs out; a call to it then fails.
std::string UnitPath(const std::string& unitName);

// A failed bus call as a result code. error: the negative errno; errorName: the D-Bus error
// name, or empty. remote: the call went to another computer.
HResult ResultOfBusFailure(int error, std::string_view errorName, bool remote);

class PropertyBatch;

// The answers of a batch read in the order asked, as if asked one after the other: after
// the first failure the rest read as nothing, and that failure is what Result() reports.
// Readers of one batch fail independently: a batch about many units reads each unit's
// answers with a reader of its own.
class AnswerReader {
 public:
  explicit AnswerReader(PropertyBatch& batch) : batch_(batch) {}

  bool Failed() const { return failure_ < 0; }
  HResult Result() const;

  std::string Text(std::size_t index) {
    const char* value = nullptr;
    return Read(index, "s", &value) && value ? value : "";
  }

  // An array of texts ("as").
  std::vector<std::string> Texts(std::size_t index);

  // type: the D-Bus signature letter of T ('t' for 64-bit unsigned, 'i' for 32-bit signed).
  template <class T>
  T Number(std::size_t index, char type) {
    T value{};
    const char signature[] = {type, '\0'};
    return Read(index, signature, &value) ? value : T{};
  }

  // The reply of a method call (PropertyBatch::Call), to be read by the caller; null when
  // it failed or an earlier read did.
  sd_bus_message* Reply(std::size_t index);

 private:
  template <class T>
  bool Read(std::size_t index, const char* signature, T* value) {
    sd_bus_message* reply = Reply(index);
    if (reply == nullptr) return false;
    const int r = sd_bus_message_read(reply, "v", signature, value);
    if (r < 0) failure_ = r;
    return r >= 0;
  }

  PropertyBatch& batch_;
  int failure_ = 0;
  std::string errorName_;
};

// Calls made together: each is sent before the first answer is awaited, which spares the
// round trips in between (docs/performance.md); at most kMaxAwaited answers are awaited at
// once (a bus daemon limits the replies one connection may await), the rest are sent as
// answers come in. The whole batch ends by the connection's deadline, however many calls
// it holds: what is not answered by then fails with -ETIMEDOUT. An AnswerReader reads
// the answers.
class PropertyBatch {
 public:
  static constexpr std::size_t kMaxAwaited = 64;

  explicit PropertyBatch(const ManagerBus& manager) : manager_(manager) {}
  PropertyBatch(const PropertyBatch&) = delete;
  PropertyBatch& operator=(const PropertyBatch&) = delete;
  ~PropertyBatch();

  // Asks for a property of the manager's object at path; returns the number of its answer.
  std::size_t Ask(const std::string& path, const char* interface, const char* member);
  // Sends a method call made with sd_bus_message_new_method_call (the batch takes it over,
  // null when making it failed); returns the number of its answer.
  std::size_t Call(sd_bus_message* call, int madeWith);

  // Waits until every answer is in; a broken connection or the deadline fails the ones
  // still awaited and those not sent.
  void Wait();

 private:
  friend class AnswerReader;
  struct Answer {
    PropertyBatch* batch = nullptr;
    sd_bus_message* call = nullptr;   // not sent yet
    sd_bus_slot* slot = nullptr;
    sd_bus_message* reply = nullptr;  // the answer, a value or an error
    int failure = 0;                  // negative errno of a call that was not answered
  };

  static int TakeAnswer(sd_bus_message* reply, void* answer, sd_bus_error*);
  void Send(Answer& answer);
  void SendWaiting();
  void FailUnanswered(int failure);
  // The answer's failure as a negative errno (its D-Bus error name put in errorName), or 0.
  int FailureOf(std::size_t index, std::string& errorName) const;

  ManagerBus manager_;
  std::deque<Answer> answers_;  // stays in place: the answer callbacks point into it
  std::size_t awaited_ = 0;     // sent, not answered yet
  std::size_t unsent_ = 0;      // index of the first answer not sent yet
};

}  // namespace runwarden
