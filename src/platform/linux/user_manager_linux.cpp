// A user's own systemd manager.
#ifndef __linux__
#error "user_manager_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/user_manager_linux.h"

#include <pwd.h>

#include <charconv>
#include <vector>

namespace runwarden {

std::optional<uid_t> LocalUserId(std::string_view user) {
  uid_t uid = 0;
  const auto [end, error] = std::from_chars(user.data(), user.data() + user.size(), uid);
  const bool number = error == std::errc{} && end == user.data() + user.size();
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  const std::string name(user);
  if (number) {
    getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
  } else if (!user.empty()) {
    getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found);
  }
  if (found == nullptr) return std::nullopt;
  return found->pw_uid;
}

HResult ConnectUserManager(uid_t uid, Deadline deadline, sd_bus** connection) {
  sd_bus* bus = nullptr;
  int r = sd_bus_new(&bus);
  if (r < 0) return kFailure;
  const std::string address = "unix:path=/run/user/" + std::to_string(uid) + "/systemd/private";
  r = sd_bus_set_address(bus, address.c_str());
  if (r >= 0) r = sd_bus_start(bus);
  return TakeLocalManagerBus(bus, r, deadline, connection);
}

std::string RemoteUserBridgeCommand(std::string_view user) {
  const std::string quoted = ShellQuoted(user);
  return "u=$(id -un -- " + quoted + " 2>/dev/null) && uid=$(id -u -- " + quoted +
         ") || exit " + std::to_string(kNoSuchUserStatus) +
         "; [ -e /run/user/$uid/systemd/private ] || exit " +
         std::to_string(kNoUserManagerStatus) +
         "; exec systemd-stdio-bridge -M\"$u\"@.host --user";
}

std::string ShellQuoted(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

}  // namespace runwarden
