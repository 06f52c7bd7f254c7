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

}  // namespace

std::uint64_t MicrosecondsLeft(Deadline deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() <= 0 ? 0 : static_cast<std::uint64_t>(left.count());
}

int ReachManager(const ManagerBus& manager, sd_bus_error* error) {
  sd_bus* bus = manager.bus;
  for (int r; (r = sd_bus_is_ready(bus)) <= 0;) {
    if (r < 0) return r;
    const std::uint64_t left = MicrosecondsLeft(manager.deadline);
    if (left == 0) return -ETIMEDOUT;
    if ((r = sd_bus_process(bus, nullptr)) < 0) return r;
    if (r == 0 && (r = sd_bus_wait(bus, left)) < 0) return r;
  }
  const std::uint64_t left = MicrosecondsLeft(manager.deadline);
  if (left == 0) return -ETIMEDOUT;
  sd_bus_set_method_call_timeout(bus, left);  // for the one call below
  if (!manager.remote) {
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

HResult TakeLocalManagerBus(sd_bus* bus, int r, Deadline deadline, sd_bus** connection) {
  sd_bus_error error{};
  if (r >= 0) r = ReachManager({bus, false, deadline}, &error);
  if (r < 0) {
    const HResult result = ResultOfBusFailure(r, error.name ? error.name : "", false);
    sd_bus_error_free(&error);
    sd_bus_close_unref(bus);
    return result;
  }
  *connection = bus;
  return 0;
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
  return ResultOfBusFailure(failure_, errorName_, batch_.manager_.remote);
}

std::vector<std::string> AnswerReader::Texts(std::size_t index) {
  sd_bus_message* reply = Reply(index);
  if (reply == nullptr) return {};
  char** texts = nullptr;
  int r = sd_bus_message_enter_container(reply, 'v', "as");
  if (r >= 0) r = sd_bus_message_read_strv(reply, &texts);
  if (r >= 0) r = sd_bus_message_exit_container(reply);
  std::vector<std::string> result;
  for (char** text = texts; text != nullptr && *text != nullptr; ++text) {
    result.emplace_back(*text);
    free(*text);
  }
  free(texts);
  if (r < 0) {
    failure_ = r;
    result.clear();
  }
  return result;
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
  int r = sd_bus_message_new_method_call(manager_.bus, &call, kManagerService, path.c_str(),
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
  // Each call's own timeout is the deadline too, so that sd-bus stops awaiting it then.
  const std::uint64_t left = MicrosecondsLeft(manager_.deadline);
  const int r = left == 0 ? -ETIMEDOUT
                          : sd_bus_call_async(manager_.bus, &answer.slot, answer.call,
                                              TakeAnswer, &answer, left);
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

void PropertyBatch::FailUnanswered(int failure) {
  for (Answer& answer : answers_) {
    answer.call = sd_bus_message_unref(answer.call);
    if (answer.reply == nullptr && answer.failure >= 0) {
      answer.failure = failure;
      answer.slot = sd_bus_slot_unref(answer.slot);  // a late answer is no longer taken
    }
  }
  awaited_ = 0;
  unsent_ = answers_.size();
}

// sd-bus is never waited on without a limit: with every awaited answer timed out, it
// would have nothing left that ends its wait.
void PropertyBatch::Wait() {
  SendWaiting();
  while (awaited_ > 0) {
    const std::uint64_t left = MicrosecondsLeft(manager_.deadline);
    int r = left == 0 ? -ETIMEDOUT : sd_bus_process(manager_.bus, nullptr);
    if (r == 0) r = sd_bus_wait(manager_.bus, left);
    if (r < 0) {
      FailUnanswered(r);
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
