#pragma once
// The Task Scheduler objects on Linux: a connection to a systemd manager over D-Bus, local
// or on a remote computer through ssh, whose tasks are its services and timers.

#include <chrono>
#include <string>
#include <string_view>

#include "platform/com_runtime.h"

namespace runwarden {

// Whose manager a scheduler object reaches, and how.
struct ManagerChoice {
  std::string_view remoteLogin;  // the ssh login when pointed at another computer
  std::string_view userManager;  // the user whose own manager is read; empty: the system's
};

// Makes a scheduler object with one count, for the manager that choice names. connectLocal: connect to the local system manager now,
// so that a manager that is not there fails the creation; otherwise the object stays
// unconnected until SetTargetComputer or, failing that, the first Activate connects it.
// Each connection's calls, its start included, end within kLocalCheckLimit or
// kRemoteCheckLimit of that start, and by checkDeadline. values: what the tasks read
// besides their last run, asked for with it.
HResult CreateSystemdScheduler(const ManagerChoice& choice, bool connectLocal,
                               std::chrono::steady_clock::time_point checkDeadline,
                               const TaskValueRequest& values, ITaskScheduler** object);

}  // namespace runwarden
