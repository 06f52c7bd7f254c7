#include "platform/linux/systemd_bus_linux.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace runwarden {
namespace {

TEST(ResultOfBusFailure, WindowsCodesForTheSameSituation) {
  const struct {
    int error;
    std::string name;
    bool remote;
    HResult expected;
    std::string reason;
  } cases[] = {
      {-ENOENT, "org.freedesktop.systemd1.NoSuchUnit", false, kUnknownTask, "no such unit"},
      {-EINVAL, "org.freedesktop.DBus.Error.InvalidArgs", true, kUnknownTask, "not a unit name"},
      {-EACCES, "org.freedesktop.DBus.Error.AccessDenied", false, kAccessDenied, "bus policy"},
      {-EACCES, "", false, kAccessDenied, "socket not permitted"},
      {-EPERM, "", true, kAccessDenied, "operation not permitted"},
      {-EHOSTUNREACH, "org.freedesktop.DBus.Error.ServiceUnknown", true, kServiceNotRunning,
       "remote bus without a manager"},
      {-ENXIO, "org.freedesktop.DBus.Error.NameHasNoOwner", false, kServiceNotRunning,
       "local bus without a manager"},
      {-ENOENT, "", false, kServiceNotRunning, "no local bus socket"},
      {-ECONNREFUSED, "", false, kServiceNotRunning, "stale local bus socket"},
      {-ETIMEDOUT, "org.freedesktop.DBus.Error.Timeout", false, kServiceNotRunning,
       "local manager does not answer"},
      {-ETIMEDOUT, "org.freedesktop.DBus.Error.Timeout", true, kHostUnreachable,
       "remote computer does not answer"},
      {-ECONNRESET, "", true, kHostUnreachable, "connection to the remote computer lost"},
      {-ENOMEM, "", false, kFailure, "anything else"},
      {-EIO, "org.example.Strange", true, kFailure, "unknown D-Bus error"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ResultOfBusFailure(c.error, c.name, c.remote), c.expected) << c.reason;
  }
}

}  // namespace
}  // namespace runwarden
