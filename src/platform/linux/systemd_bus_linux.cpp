// The D-Bus connection to a systemd manager, through sd-bus.
#ifndef __linux__
#error "systemd_bus_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/systemd_bus_linux.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace runwarden {
namespace {

constexpr char kManagerService[] = "org.freedesktop.systemd1";
constexpr char kManagerPath[] = "/org/freedesktop/systemd1";
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
                                           "org.freedesktop.systemd1.Manager", "Version", error,
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

PropertyBatch::~PropertyBatch() {
  for (Answer& answer : answers_) {
    sd_bus_slot_unref(answer.slot);  // an answer still awaited is no longer taken
    sd_bus_message_unref(answer.reply);
  }
}

std::size_t PropertyBatch::Ask(const std::string& path, const char* interface, const char* member) {
  Answer& answer = answers_.emplace_back();
  answer.failure = sd_bus_call_method_async(bus_, &answer.slot, kManagerService, path.c_str(),
                                            "org.freedesktop.DBus.Properties", "Get", TakeAnswer,
                                            &answer, "ss", interface, member);
  return answers_.size() - 1;
}

void PropertyBatch::Wait() {
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

int PropertyBatch::TakeAnswer(sd_bus_message* reply, void* answer, sd_bus_error*) {
  static_cast<Answer*>(answer)->reply = sd_bus_message_ref(reply);
  return 0;
}

int PropertyBatch::FailureOf(const Answer& answer) {
  if (answer.failure < 0 || !sd_bus_message_is_method_error(answer.reply, nullptr)) {
    return answer.failure;
  }
  const sd_bus_error* error = sd_bus_message_get_error(answer.reply);
  if (error != nullptr && error->name != nullptr) errorName_ = error->name;
  const int code = sd_bus_message_get_errno(answer.reply);
  return code > 0 ? -code : -EIO;
}

}  // namespace runwarden
