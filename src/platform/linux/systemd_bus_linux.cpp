// The D-Bus connection to a systemd manager, through sd-bus.
#ifndef __linux__
#error "systemd_bus_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/systemd_bus_linux.h"

#include <cerrno>
#include <cstdlib>

namespace runwarden {
namespace {

constexpr char kUnitPathPrefix[] = "/org/freedesktop/systemd1/unit";

std::uint64_t Microseconds(std::chrono::seconds duration) {
  return static_cast<std::uint64_t>(std::chrono::microseconds(duration).count());
}

}  // namespace

int ReachManager(sd_bus* bus, std::chrono::seconds limit, bool remote, sd_bus_error* error) {
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
  if (!remote) {
    return sd_bus_call_method(bus, kManagerService, kManagerPath, "org.freedesktop.DBus.Peer",
                              "Ping", error, nullptr, "");
  }
  char* version = nullptr;
  const int r = sd_bus_get_property_string(bus, kManagerService, kManagerPath,
                                           kManagerInterface, "Version", error,
                                           &version);
  free(version);
  return r;
}

std::string UnitPath(const std::string& unitName) {
  char* path = nullptr;
  if (sd_bus_path_encode(kUnitPathPrefix, unitName.c_str(), &path) < 0) return {};
  std::string result = path;
  free(path);
  return result;
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

HResult AnswerReader::Result() const {
  return ResultOfBusFailure(failure_, errorName_, batch_.remote_);
}

sd_bus_message* AnswerReader::Reply(std::size_t index) {
  if (Failed()) return nullptr;
  const int r = batch_.FailureOf(index, errorName_);
  if (r < 0) {
    failure_ = r;
    return nullptr;
  }
  return batch_.answers_[index].reply;
}

PropertyBatch::~PropertyBatch() {
  for (Answer& answer : answers_) {
    sd_bus_slot_unref(answer.slot);  // an answer still awaited is no longer taken
    sd_bus_message_unref(answer.reply);
    sd_bus_message_unref(answer.call);
  }
}

std::size_t PropertyBatch::Ask(const std::string& path, const char* interface, const char* member) {
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus_, &call, kManagerService, path.c_str(),
                                         "org.freedesktop.DBus.Properties", "Get");
  if (r >= 0) r = sd_bus_message_append(call, "ss", interface, member);
  return Call(call, r);
}

std::size_t PropertyBatch::Call(sd_bus_message* call, int madeWith) {
  Answer& answer = answers_.emplace_back();
  answer.batch = this;
  if (madeWith < 0) {
    answer.failure = madeWith;
    sd_bus_message_unref(call);
  } else {
    answer.call = call;
  }
  SendWaiting();
  return answers_.size() - 1;
}

void PropertyBatch::Send(Answer& answer) {
  const int r = sd_bus_call_async(bus_, &answer.slot, answer.call, TakeAnswer, &answer, 0);
  answer.call = sd_bus_message_unref(answer.call);
  if (r < 0) {
    answer.failure = r;
  } else {
    ++awaited_;
  }
}

void PropertyBatch::SendWaiting() {
  for (; unsent_ < answers_.size() && awaited_ < kMaxAwaited; ++unsent_) {
    if (answers_[unsent_].call != nullptr) Send(answers_[unsent_]);
  }
}

void PropertyBatch::Wait() {
  SendWaiting();
  while (awaited_ > 0) {
    int r = sd_bus_process(bus_, nullptr);
    if (r == 0) r = sd_bus_wait(bus_, UINT64_MAX);  // until the next answer's deadline
    if (r < 0) {
      for (Answer& answer : answers_) {
        answer.call = sd_bus_message_unref(answer.call);
        if (answer.reply == nullptr && answer.failure >= 0) answer.failure = r;
      }
      awaited_ = 0;
      unsent_ = answers_.size();
      return;
    }
    SendWaiting();
  }
}

int PropertyBatch::TakeAnswer(sd_bus_message* reply, void* answer, sd_bus_error*) {
  Answer& taken = *static_cast<Answer*>(answer);
  taken.reply = sd_bus_message_ref(reply);
  --taken.batch->awaited_;
  return 0;
}

int PropertyBatch::FailureOf(std::size_t index, std::string& errorName) const {
  const Answer& answer = answers_[index];
  if (answer.failure < 0 || !sd_bus_message_is_method_error(answer.reply, nullptr)) {
    return answer.failure;
  }
  const sd_bus_error* error = sd_bus_message_get_error(answer.reply);
  if (error != nullptr && error->name != nullptr) errorName = error->name;
  const int code = sd_bus_message_get_errno(answer.reply);
  return code > 0 ? -code : -EIO;
}

}  // namespace runwarden
