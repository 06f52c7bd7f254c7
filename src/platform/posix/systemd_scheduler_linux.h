#pragma once
// The Task Scheduler objects on Linux: a connection to a systemd manager over D-Bus, and
// the last run of one of its services. Task names are unit names; result codes are the
// ones Windows' Task Scheduler gives for the same situation.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com_runtime.h"

namespace runwarden {

inline constexpr HResult kUnknownTask = static_cast<HResult>(0x80070002);      // file not found
inline constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005);     // access denied
inline constexpr HResult kHostUnreachable = static_cast<HResult>(0x80070035);  // path not found
inline constexpr HResult kServiceNotRunning = static_cast<HResult>(0x80041315);
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);  // not a task
inline constexpr HResult kFailure = static_cast<HResult>(0x80004005);
inline constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154);
// A success code that tells the task has never run.
inline constexpr HResult kTaskHasNotRun = 0x00041303;

// How long one call to the manager may take, the connection's start included.
inline constexpr std::chrono::seconds kLocalCallTimeout{10};
inline constexpr std::chrono::seconds kRemoteCallTimeout{20};
inline constexpr std::chrono::seconds kSshConnectTimeout{10};

// Connects to the local system manager and makes a scheduler object with one count.
// remoteLogin: the ssh login used when the object is later pointed at another computer.
HResult CreateSystemdScheduler(std::string_view remoteLogin, ITaskScheduler** object);

// A task name as a unit name: a name without a unit type suffix means the .service unit.
std::string UnitNameOfTask(std::string_view taskName);

enum class UnitKind { Service, Timer, Other };
UnitKind KindOfUnit(std::string_view unitName);

// The exit code of a service's last run: 0 when its Result is "success", else the main
// process's status when it exited (code 1), 128 + the signal when killed or dumped (2, 3),
// and 1 for a unit that failed with no such status to show.
std::uint32_t ServiceExitCode(std::int32_t execMainCode, std::int32_t execMainStatus,
                              std::string_view result);

// Microseconds since the epoch as a local time record; all zero for 0 (never) or infinity.
SystemTime LocalSystemTimeOfMicroseconds(std::uint64_t microseconds);

// A failed bus call as a result code. error: the negative errno; errorName: the D-Bus error
// name, or empty. remote: the call went to another computer.
HResult ResultOfBusFailure(int error, std::string_view errorName, bool remote);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromUtf16(const char16_t* text);

}  // namespace runwarden
