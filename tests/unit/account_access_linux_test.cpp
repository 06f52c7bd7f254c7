// The Linux platform's answer to a logon: no token and a fixed reason; the check then goes
// on under the program's own account.
#include <gtest/gtest.h>

#include <string>

#include "core/access/impersonation.h"
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

}  // namespace
}  // namespace runwarden
