#include "platform/linux/ssh_tunnel_linux.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace runwarden {
namespace {

TEST(ParseSshDestination, UserHostAndPort) {
  const struct {
    std::string text, defaultUser;
    bool ok;
    std::string user, host, port, reason;
  } cases[] = {
      {"server", "", true, "", "server", "", "host only"},
      {"server", "backup", true, "backup", "server", "", "login from the account"},
      {"admin@server", "backup", true, "admin", "server", "", "login in the host text wins"},
      {"a@b@server", "", true, "a@b", "server", "", "split at the last at sign"},
      {"server:2222", "", true, "", "server", "2222", "port"},
      {"[::1]:2222", "", true, "", "::1", "2222", "bracketed IPv6 address with port"},
      {"[fe80::1]", "", true, "", "fe80::1", "", "bracketed IPv6 address"},
      {"fe80::1", "", true, "", "fe80::1", "", "bare IPv6 address: no port"},
      {"", "", false, "", "", "", "empty"},
      {"admin@", "", false, "", "", "", "login without a host"},
      {"server:", "", false, "", "", "", "empty port"},
      {"server:ssh", "", false, "", "", "", "port not a number"},
      {"server:123456", "", false, "", "", "", "port too long"},
      {"[::1", "", false, "", "", "", "unclosed bracket"},
      {"[::1]x", "", false, "", "", "", "junk after the bracket"},
  };
  for (const auto& c : cases) {
    SshDestination d;
    ASSERT_EQ(ParseSshDestination(c.text, c.defaultUser, d), c.ok) << c.reason;
    if (!c.ok) continue;
    EXPECT_EQ(d.user, c.user) << c.reason;
    EXPECT_EQ(d.host, c.host) << c.reason;
    EXPECT_EQ(d.port, c.port) << c.reason;
  }
}

TEST(SshArguments, NeverPromptsAndBoundsTheConnect) {
  EXPECT_EQ(SshArguments({"", "-oProxyCommand=x", ""}, std::chrono::seconds(10)),
            (std::vector<std::string>{"ssh", "-xT", "-o", "BatchMode=yes", "-o", "ConnectTimeout=10",
                                      "-o", "LogLevel=ERROR", "--", "-oProxyCommand=x",
                                      "systemd-stdio-bridge"}))
      << "a host that looks like an option stays a host";
  EXPECT_EQ(SshArguments({"backup", "server", "2222"}, std::chrono::seconds(7)),
            (std::vector<std::string>{"ssh", "-xT", "-o", "BatchMode=yes", "-o", "ConnectTimeout=7",
                                      "-o", "LogLevel=ERROR", "-l", "backup", "-p", "2222", "--",
                                      "server", "systemd-stdio-bridge"}));
}

TEST(ClassifySshFailure, AuthenticationUnreachableOrRemoteCommand) {
  const struct {
    int status;
    std::string errorOutput;
    SshFailure expected;
  } cases[] = {
      {255, "root@server: Permission denied (publickey).\r\n", SshFailure::AccessDenied},
      {255, "Host key verification failed.\r\n", SshFailure::AccessDenied},
      {255, "Received disconnect: Too many authentication failures\r\n", SshFailure::AccessDenied},
      {255, "ssh: connect to host server port 22: Connection refused\r\n", SshFailure::Unreachable},
      {255, "ssh: Could not resolve hostname x: Name or service not known\r\n",
       SshFailure::Unreachable},
      {-1, "", SshFailure::Unreachable},  // had to be stopped
      {127, "bash: systemd-stdio-bridge: command not found\n", SshFailure::Other},
      {67, "", SshFailure::NoSuchUser},     // the user manager's bridge: no such user
      {69, "", SshFailure::NoUserManager},  // nor a manager of that user
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifySshFailure(c.status, c.errorOutput), c.expected) << c.errorOutput;
  }
}

bool ProcessGone(pid_t pid) { return kill(pid, 0) < 0 && errno == ESRCH; }

// The tunnel runs whatever command it is given; a shell stands in for ssh here.
TEST(SshTunnel, JudgesAnEndedProcessByItsErrorOutput) {
  SshTunnel tunnel;
  const int connection = tunnel.Start({"sh", "-c", "echo 'Permission denied (publickey).' >&2; exit 255"});
  ASSERT_GE(connection, 0);
  EXPECT_EQ(tunnel.Failure(), SshFailure::AccessDenied);
  close(connection);
}

TEST(SshTunnel, StopEndsAndReapsAProcessThatRunsOn) {
  using std::chrono::milliseconds;
  const struct {
    const char* script;
    milliseconds limit;
    const char* reason;
  } cases[] = {
      {"echo $$; exec sleep 60", milliseconds(250),
       "the end is awaited, not waited out: below the 300 ms that Stop allows before SIGKILL"},
      {"trap '' TERM; echo $$; exec sleep 60", milliseconds(800),
       "after a deadline the check must end at once, whatever ssh does with SIGTERM"},
  };
  for (const auto& c : cases) {
    pid_t child = -1;
    {
      SshTunnel tunnel;
      const int connection = tunnel.Start({"sh", "-c", c.script});
      ASSERT_GE(connection, 0);
      char buffer[32] = {};
      ASSERT_GT(read(connection, buffer, sizeof buffer - 1), 0);
      child = static_cast<pid_t>(std::stol(buffer));
      const auto start = std::chrono::steady_clock::now();
      tunnel.Stop();
      EXPECT_LT(std::chrono::steady_clock::now() - start, c.limit) << c.reason;
      close(connection);
    }
    EXPECT_TRUE(ProcessGone(child)) << "no zombie and no process left behind: " << c.reason;
  }
}

// Ignored, SIGCHLD would have the kernel reap ssh at once: a missing bridge (127) would
// read as an unreachable computer.
TEST(SshTunnel, KeepsTheExitStatusWhenSigchldWasIgnored) {
  std::signal(SIGCHLD, SIG_IGN);
  SshTunnel tunnel;
  const int connection = tunnel.Start({"sh", "-c", "exit 127"});
  ASSERT_GE(connection, 0);
  EXPECT_EQ(tunnel.Failure(), SshFailure::Other);
  close(connection);
  std::signal(SIGCHLD, SIG_DFL);
}

TEST(SshTunnel, ConnectionCarriesBothDirections) {
  SshTunnel tunnel;
  const int connection = tunnel.Start({"sh", "-c", "read line; echo \"got $line\""});
  ASSERT_GE(connection, 0);
  ASSERT_EQ(write(connection, "ping\n", 5), 5);
  char buffer[16] = {};
  ASSERT_GT(read(connection, buffer, sizeof buffer - 1), 0);
  EXPECT_EQ(std::string(buffer), "got ping\n");
  close(connection);
}

TEST(SshTunnel, MissingProgramFailsToStart) {
  SshTunnel tunnel;
  EXPECT_LT(tunnel.Start({"/nonexistent/ssh"}), 0);
}

}  // namespace
}  // namespace runwarden
