// The Linux platform's answers to a logon and a network connection: no token, a fixed
// reason, a code; the check then goes on under the program's own account.
#include <gtest/gtest.h>

#include <string>

#include "core/impersonation.h"
#include "core/remote_connection.h"
#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

TEST(LinuxAccountAccess, LogonGivesNoTokenAndAFixedReason) {
  LinuxLogonApi logon;
  for (const char* account : {"backup", "OFFICE\\backup"}) {
    SCOPED_TRACE(account);
    std::string errorText;
    EXPECT_EQ(LogonAndImpersonate(logon, account, "s3cret", errorText), 0u);
    EXPECT_EQ(errorText, "Logon with an explicit account is not supported on Linux.");
  }
}

TEST(LinuxAccountAccess, ConnectionReturnsNotSupportedEvenWhenForced) {
  LinuxNetworkApi network;
  EXPECT_EQ(ConnectRemoteHost(network, "\\\\backup01", "OFFICE\\backup", "s3cret", false), 50u);
  EXPECT_EQ(ConnectRemoteHost(network, "\\\\backup01", "OFFICE\\backup", "s3cret", true), 50u);
}

}  // namespace
}  // namespace runwarden
