// -usermanager: a user's own manager in place of the system's.
#include <gtest/gtest.h>

#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

TEST(UserManager, TheUserReachesTheSchedulerOrTheCheckSaysWhyNot) {
  const Arguments check{"-task:sync", "-timeframe:today", "-usermanager:backup"};
  const struct {
    Scenario setup;
    std::string line;
    const char* reason;
  } cases[] = {
      {[](FakePlatform& f) { f.setUserManagerResult = 0; }, Ok("12/7/26 2:00:00 am"),
       "a scheduler with user managers"},
      {nullptr,
       Unknown("A user's own manager is read on Linux only; this scheduler has none"),
       "Windows has none"},
      {[](FakePlatform& f) {
         f.setUserManagerResult = 0;
         f.coCreateInstanceResult = static_cast<HResult>(0x80070534);
       },
       Unknown("Unknown user \"backup\" for -usermanager:"), "no such user"},
      {[](FakePlatform& f) {
         f.setUserManagerResult = 0;
         f.coCreateInstanceResult = static_cast<HResult>(0x80041315);
       },
       Bad("Error in CoCreateInstance. Error Code: 80041315"),
       "a user whose manager does not run: as a system manager that does not"},
  };
  for (const auto& c : cases) {
    const CheckRun run(check, c.setup);
    EXPECT_EQ(run.ResultLine(), c.line) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "SetUserManager(backup)"), 1) << c.reason;
    ExpectOneResultLineAndNothingLeft(run, c.reason);
  }
  const CheckRun plain({"-task:sync", "-timeframe:today"});
  EXPECT_EQ(CountOf(plain.fake.calls, "SetUserManager"), 0) << "the system manager: no call";
}

}  // namespace
}  // namespace runwarden::check_run_test
