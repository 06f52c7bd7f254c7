#pragma once
// The Task Scheduler objects on Linux: a connection to a systemd manager over D-Bus, local
// or on a remote computer through ssh, whose tasks are its services and timers.

#include <chrono>
#include <string>
#include <string_view>

#include "platform/com_runtime.h"

namespace runwarden {

// Makes a scheduler object with one count. remoteLogin: the ssh login used when the object
// is pointed at another computer. connectLocal: connect to the local system manager now,
// so that a manager that is not there fails the creation; otherwise the object stays
// unconnected until SetTargetComputer or, failing that, the first Activate connects it.
// Each connection's calls, its start included, end within kLocalCheckLimit or
// kRemoteCheckLimit of that start, and by checkDeadline.
HResult CreateSystemdScheduler(std::string_view remoteLogin, bool connectLocal,
                               std::chrono::steady_clock::time_point checkDeadline,
                               ITaskScheduler** object);

}  // namespace runwarden
