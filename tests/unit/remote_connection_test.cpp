#include "core/access/remote_connection.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::string>;

TEST(ConnectRemoteHost, RetriesOnceAfterACredentialConflictOnlyWhenForced) {
  const std::string add = "WNetAddConnection2A(\\\\backup01, s3cret, OFFICE\\backup, 0)";
  const std::string cancel = "WNetCancelConnection2A(\\\\backup01, 0, false)";
  const struct {
    const char* why;
    std::deque<SystemErrorCode> results;
    bool force;
    SystemErrorCode expected;
    Calls calls;
  } cases[] = {
      {"connected", {0}, false, 0, {add}},
      {"conflict, not forced: returned at once, nothing cancelled", {1219}, false, 1219, {add}},
      {"conflict, forced: cancelled and retried", {1219, 0}, true, 0, {add, cancel, add}},
      {"second conflict returned unchanged, no further retry", {1219, 1219}, true, 1219,
       {add, cancel, add}},
      {"the retry's own failure is returned", {1219, 53}, true, 53, {add, cancel, add}},
      {"another code, forced: no retry", {53}, true, 53, {add}},
      {"another code, not forced", {1326}, false, 1326, {add}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.connectionResults = c.results;
    EXPECT_EQ(ConnectRemoteHost(fake, "\\\\backup01", "OFFICE\\backup", "s3cret", c.force),
              c.expected);
    EXPECT_EQ(fake.calls, c.calls);
  }
}

TEST(ConnectRemoteHost, DescribesOnlyTheRemoteNameInTheRecord) {
  for (const std::string host : {"\\\\backup01", ""}) {
    SCOPED_TRACE("host '" + host + "'");
    FakePlatform fake;
    fake.connectionResults = {67};
    // Made also without a remote computer; the platform's refusal is simply returned.
    EXPECT_EQ(ConnectRemoteHost(fake, host, "backup", "s3cret", false), 67u);
    const NetResource& record = fake.lastResource;
    EXPECT_EQ(record.dwScope, 0u);
    EXPECT_EQ(record.dwType, kResourceTypeAny);
    EXPECT_EQ(record.dwDisplayType, 0u);
    EXPECT_EQ(record.dwUsage, 0u);
    EXPECT_EQ(record.lpLocalName, nullptr);
    EXPECT_EQ(record.lpComment, nullptr);
    EXPECT_EQ(record.lpProvider, nullptr);
    EXPECT_EQ(fake.lastRemoteName, host);  // a text, never a null pointer
    EXPECT_EQ(fake.calls, Calls{"WNetAddConnection2A(" + host + ", s3cret, backup, 0)"});
  }
}

}  // namespace
}  // namespace runwarden
