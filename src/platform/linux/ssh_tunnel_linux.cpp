// The ssh process that carries the connection to a remote computer's system manager.
#ifndef __linux__
#error "ssh_tunnel_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/ssh_tunnel_linux.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <thread>

#include "platform/linux/user_manager_linux.h"

extern char** environ;

namespace runwarden {
namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 5 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

int DecodeWaitStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

bool ParseSshDestination(std::string_view text, std::string_view defaultUser,
                         SshDestination& destination) {
  destination = {std::string(defaultUser), {}, {}};
  // ssh itself splits a login from the host at the last at sign.
  if (const auto at = text.rfind('@'); at != std::string_view::npos) {
    destination.user = text.substr(0, at);
    text.remove_prefix(at + 1);
  }
  std::string_view port;
  if (text.starts_with('[')) {  // [address] or [address]:port
    const auto close = text.find(']');
    if (close == std::string_view::npos) return false;
    std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && !rest.starts_with(':')) return false;
    if (!rest.empty()) port = rest.substr(1);
    text = text.substr(1, close - 1);
    if (!rest.empty() && port.empty()) return false;
  } else if (const auto colon = text.find(':');
             colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
    port = text.substr(colon + 1);  // one colon: host:port; more: a bare IPv6 address
    text = text.substr(0, colon);
    if (port.empty()) return false;
  }
  if (text.empty() || (!port.empty() && !AllDigits(port))) return false;
  destination.host = text;
  destination.port = port;
  return true;
}

std::vector<std::string> SshArguments(const SshDestination& destination,
                                      std::chrono::seconds connectTimeout,
                                      std::string_view remoteCommand) {
  std::vector<std::string> arguments = {
      "ssh", "-xT", "-o", "BatchMode=yes", "-o",
      "ConnectTimeout=" + std::to_string(connectTimeout.count()), "-o", "LogLevel=ERROR"};
  if (!destination.user.empty()) arguments.insert(arguments.end(), {"-l", destination.user});
  if (!destination.port.empty()) arguments.insert(arguments.end(), {"-p", destination.port});
  arguments.insert(arguments.end(), {"--", destination.host, std::string(remoteCommand)});
  return arguments;
}

SshFailure ClassifySshFailure(int exitStatus, std::string_view errorOutput) {
  if (Contains(errorOutput, "Permission denied") ||
      Contains(errorOutput, "Host key verification failed") ||
      Contains(errorOutput, "Too many authentication failures")) {
    return SshFailure::AccessDenied;
  }
  if (exitStatus == kNoSuchUserStatus) return SshFailure::NoSuchUser;
  if (exitStatus == kNoUserManagerStatus) return SshFailure::NoUserManager;
  // 255 is ssh's own failure (no route, refused, timed out, unknown name); -1 one that
  // had to be stopped. Any other status is the remote command's.
  if (exitStatus == 255 || exitStatus < 0) return SshFailure::Unreachable;
  return SshFailure::Other;
}

int SshTunnel::Start(const std::vector<std::string>& arguments) {
  int connection[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, connection) < 0) return -errno;
  int errorPipe[2];
  if (pipe2(errorPipe, O_CLOEXEC | O_NONBLOCK) < 0) {
    const int error = errno;
    close(connection[0]);
    close(connection[1]);
    return -error;
  }
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  struct sigaction childEnds {};
  if (sigaction(SIGCHLD, nullptr, &childEnds) == 0 &&
      (childEnds.sa_handler == SIG_IGN || (childEnds.sa_flags & SA_NOCLDWAIT) != 0)) {
    signal(SIGCHLD, SIG_DFL);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, connection[1], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, connection[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t signals;
  sigemptyset(&signals);
  posix_spawnattr_setsigmask(&attributes, &signals);
  sigaddset(&signals, SIGCHLD);
  sigaddset(&signals, SIGTERM);
  posix_spawnattr_setsigdefault(&attributes, &signals);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(connection[1]);
  close(errorPipe[1]);
  if (spawned != 0) {
    close(connection[0]);
    close(errorPipe[0]);
    return -spawned;
  }
  pid_ = pid;
  // The system call, not glibc 2.36's pidfd_open, whose C++ declaration lacks C linkage.
  // -1 on kernels before 5.3, where the waits look every 10 ms instead.
  processHandle_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  errorOutput_ = errorPipe[0];
  exitStatus_ = -1;
  return connection[0];
}

int SshTunnel::WaitForExit(std::chrono::steady_clock::time_point deadline) {
  while (pid_ > 0) {
    int status = 0;
    const pid_t ended = waitpid(pid_, &status, WNOHANG);
    if (ended == pid_ || (ended < 0 && errno != EINTR)) {
      exitStatus_ = ended == pid_ ? DecodeWaitStatus(status) : -1;
      pid_ = -1;
      break;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return -1;
    if (processHandle_ >= 0) {  // readable once ssh has ended
      pollfd ending{processHandle_, POLLIN, 0};
      poll(&ending, 1, static_cast<int>(left.count()) + 1);
    } else {
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    }
  }
  return exitStatus_;
}

SshFailure SshTunnel::Failure(std::chrono::steady_clock::time_point deadline) {
  const int status =
      WaitForExit(std::min(deadline, std::chrono::steady_clock::now() + std::chrono::seconds(2)));
  std::string errorText;
  char buffer[512];
  for (ssize_t n; errorOutput_ >= 0 && errorText.size() < 4096 &&
                  (n = read(errorOutput_, buffer, sizeof buffer)) > 0;) {
    errorText.append(buffer, static_cast<std::size_t>(n));
  }
  return ClassifySshFailure(status, errorText);
}

// Through the pidfd where there is one, so that the signal can never reach another
// process that took over a reused pid.
void SshTunnel::Signal(int signal) const {
  if (processHandle_ >= 0) {
    syscall(SYS_pidfd_send_signal, processHandle_, signal, nullptr, 0);
  } else {
    kill(pid_, signal);
  }
}

void SshTunnel::Stop() {
  if (pid_ > 0) {
    Signal(SIGTERM);
    if (WaitForExit(std::chrono::steady_clock::now() + std::chrono::milliseconds(300)) < 0 &&
        pid_ > 0) {
      Signal(SIGKILL);
      while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
    }
  }
  if (errorOutput_ >= 0) close(errorOutput_);
  errorOutput_ = -1;
  if (processHandle_ >= 0) close(processHandle_);
  processHandle_ = -1;
}

}  // namespace runwarden
