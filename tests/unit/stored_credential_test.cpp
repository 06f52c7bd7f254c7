// -cred: the account and password of a stored credential, used as -user: and -pswd: are.
#include "core/access/stored_credential.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

const StoredCredential kBackup{u"EXAMPLE\\backup", u"s3cret"};

// The calls of a remote check under EXAMPLE\backup up to the scheduler.
Calls AccountCalls(const std::string& password) {
  return {"LogonUserA(backup, EXAMPLE, " + password + ", 9, 0)", "ImpersonateLoggedOnUser(68)",
          "WNetAddConnection2A(\\\\srv, " + password + ", EXAMPLE\\backup, 0)",
          "SetRemoteLogin(backup)"};
}

TEST(StoredCredential, GivesTheAccountAndPasswordAndWinsOverTheCommandLine) {
  const struct {
    Arguments extra;
    const char* why;
  } cases[] = {
      {{}, "the credential alone"},
      {{"-user:OTHER\\admin", "-pswd:typed"}, "the credential wins over -user: and -pswd:"},
  };
  for (const auto& c : cases) {
    Arguments arguments{"-task:Backup", "-timeframe:today", "-host:srv", "-cred:backup-srv"};
    arguments.insert(arguments.end(), c.extra.begin(), c.extra.end());
    const CheckRun run(arguments, [](FakePlatform& f) {
      f.storedCredentials[u"backup-srv"] = kBackup;
    });
    EXPECT_EQ(run.ResultLine(), Ok("12/7/26 2:00:00 am")) << c.why;
    // The target to UTF-16, the account and the password back to the system's code page.
    Calls expected{"CoInitialize", "MultiByteToWideChar(0, 0, 10, 10)", "CredReadW(backup-srv, 1)",
                   "WideCharToMultiByte(0, 0, 14, 56)", "WideCharToMultiByte(0, 0, 6, 24)"};
    const Calls account = AccountCalls("s3cret");
    expected.insert(expected.end(), account.begin(), account.end());
    const Calls& calls = run.fake.calls;
    EXPECT_EQ(Calls(calls.begin(), calls.begin() + static_cast<long>(expected.size())), expected)
        << c.why;
    EXPECT_EQ(run.fake.written.find("s3cret"), std::string::npos) << c.why;
    ExpectOneResultLineAndNothingLeft(run, c.why);
  }
}

TEST(StoredCredential, OneThatCannotBeReadStopsTheCheckBeforeAnyLogon) {
  const CheckRun run({"-task:Backup", "-timeframe:today", "-cred:missing", "-user:a", "-pswd:b"},
                     [](FakePlatform& f) { f.systemMessage = "Element not found.\r\n"; });
  EXPECT_EQ(run.ResultLine(), Unknown("Cannot read credential \"missing\": Element not found."));
  EXPECT_EQ(CountOf(run.fake.calls, "LogonUserA"), 0);
  EXPECT_EQ(CountOf(run.fake.calls, "FormatMessageA(4608, 1168,"), 1) << "ERROR_NOT_FOUND";
  ExpectOneResultLineAndNothingLeft(run, "a credential not found");
}

TEST(StoredCredential, WipeSecretZeroesTheWholeStorage) {
  std::string secret(40, 'p');
  secret.resize(10);  // the storage still holds the longer text
  const char* storage = secret.data();
  const std::size_t capacity = secret.capacity();
  WipeSecret(secret);
  EXPECT_TRUE(secret.empty());
  EXPECT_EQ(secret.data(), storage) << "wiped in place, not moved";
  EXPECT_TRUE(std::all_of(storage, storage + capacity, [](char c) { return c == '\0'; }));
}

}  // namespace
}  // namespace runwarden::check_run_test
