#pragma once
// A user's own systemd manager in place of the system's: on this computer reached as root
// on its private socket, on a remote one through a bridge that runs as that user.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/linux/systemd_bus_linux.h"

namespace runwarden {

// The exit statuses of the remote commands for a user that does not exist there and for a
// user whose manager does not run (EX_NOUSER, EX_UNAVAILABLE).
inline constexpr int kNoSuchUserStatus = 67;
inline constexpr int kNoUserManagerStatus = 69;

// The number of the account that a name or a number names on this computer; none when
// there is no such account.
std::optional<uid_t> LocalUserId(std::string_view user);

// A connection to the manager of the user uid on its private socket: a direct connection,
// no bus between, so no Hello. kServiceNotRunning when the manager does not run (no socket,
// nobody listening), the result code of another failure.
HResult ConnectUserManager(uid_t uid, Deadline deadline, sd_bus** connection);

// The remote command that bridges the user's manager to standard input and output, ending
// with kNoSuchUserStatus or kNoUserManagerStatus first where that applies.
std::string RemoteUserBridgeCommand(std::string_view user);

// The text in single quotes for a POSIX shell.
std::string ShellQuoted(std::string_view text);

}  // namespace runwarden
