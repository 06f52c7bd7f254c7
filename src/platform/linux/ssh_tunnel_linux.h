#pragma once
// An ssh process that carries a D-Bus connection to a remote computer's system bus: its
// standard input and output are one end of a socket pair, its error output is kept to
// tell why a connection failed.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace runwarden {

// Where to log on: "[user@]host[:port]" or "[user@][address][:port]" split apart.
struct SshDestination {
  std::string user;  // empty: ssh's own choice
  std::string host;
  std::string port;  // empty: ssh's own choice
};

// Splits a host text; a user given in the text wins over defaultUser. False for a text
// that names no host.
bool ParseSshDestination(std::string_view text, std::string_view defaultUser,
                         SshDestination& destination);

// The ssh command line: key or agent authentication only (no prompt), bounded connect
// time, no terminal, the remote command's standard input and output those of ssh: by
// default the remote system bus bridged to them.
std::vector<std::string> SshArguments(const SshDestination& destination,
                                      std::chrono::seconds connectTimeout,
                                      std::string_view remoteCommand = "systemd-stdio-bridge");

// Why a failed ssh ended, judged from its exit status and error output; NoSuchUser and
// NoUserManager are the remote command's own statuses (user_manager_linux.h).
enum class SshFailure { AccessDenied, Unreachable, NoSuchUser, NoUserManager, Other };
SshFailure ClassifySshFailure(int exitStatus, std::string_view errorOutput);

class SshTunnel {
 public:
  SshTunnel() = default;
  SshTunnel(const SshTunnel&) = delete;
  SshTunnel& operator=(const SshTunnel&) = delete;
  ~SshTunnel() { Stop(); }

  // Starts ssh; returns the local end of the connection (the caller owns it), or -errno.
  // An ignored SIGCHLD, inherited from the parent, is set back to its default first: it
  // would have the kernel reap ssh at once and lose the exit status that tells why a
  // connection failed. ssh itself starts with SIGCHLD and SIGTERM at their defaults and
  // no signal blocked.
  int Start(const std::vector<std::string>& arguments);
  // After the connection failed: waits for ssh to end, at most 2 s and not past the
  // deadline, and judges why it ended (one that runs on counts as unreachable).
  SshFailure Failure(std::chrono::steady_clock::time_point deadline =
                         std::chrono::steady_clock::time_point::max());
  // Ends ssh (it normally ends by itself once the connection is closed) and reaps it:
  // SIGTERM, and SIGKILL when it has not ended 300 ms later.
  void Stop();

 private:
  // Waits for ssh to end, at most until the deadline; the exit status, or -1 if it runs on.
  int WaitForExit(std::chrono::steady_clock::time_point deadline);
  void Signal(int signal) const;

  pid_t pid_ = -1;
  int processHandle_ = -1;  // pidfd of ssh, to wait for its end without polling
  int errorOutput_ = -1;    // read end of ssh's standard error
  int exitStatus_ = -1;
};

}  // namespace runwarden
