#include "core/access/impersonation.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/access/system_error_text.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Calls = std::vector<std::string>;

TEST(SplitAccountName, OnlyTheLastBackslashSplits) {
  const struct {
    std::string account;
    AccountName expected;
    const char* why;
  } cases[] = {
      {"backup", {"", "backup"}, "a user name alone"},
      {"OFFICE\\backup", {"OFFICE", "backup"}, "domain and user"},
      {"OFFICE\\\\backup", {"OFFICE", "backup"}, "two backslashes split like one"},
      {"OFFICE\\backup\\", {"OFFICE", "backup"}, "trailing backslash dropped"},
      {"A\\B\\backup", {"A\\B", "backup"}, "only the last backslash splits"},
      {"\\backup", {"", "backup"}, "leading backslash: empty domain"},
      {"backup\\", {"", "backup\\"}, "nothing left to split: the text as written"},
      {"backup\\\\", {"", "backup\\\\"}, "several trailing backslashes, none left to split"},
      {"backup@office.example", {"", "backup@office.example"}, "user-principal form"},
      {"\\\\\\", {"", "\\\\\\"}, "only backslashes: the text as written"},
      {"", {"", ""}, "empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(SplitAccountName(c.account), c.expected);
  }
}

const std::string kFormat = "FormatMessageA(4608, 1326, 0, 512)";

TEST(LogonAndImpersonate, CallSequencesTokensAndTexts) {
  const struct {
    const char* why;
    std::string account;
    std::string password;
    bool logonSucceeds;
    std::string systemMessage;
    TokenHandle token;
    std::string errorText;
    Calls calls;
  } cases[] = {
      {"logged on and impersonated", "OFFICE\\backup", "s3cret", true, "", 0x44, "",
       {"LogonUserA(backup, OFFICE, s3cret, 9, 0)", "ImpersonateLoggedOnUser(68)"}},
      {"no backslash: empty domain text, not a null pointer", "backup", "s3cret", true, "",
       0x44, "", {"LogonUserA(backup, , s3cret, 9, 0)", "ImpersonateLoggedOnUser(68)"}},
      {"trailing backslash kept in the user name", "backup\\", "s3cret", true, "", 0x44, "",
       {"LogonUserA(backup\\, , s3cret, 9, 0)", "ImpersonateLoggedOnUser(68)"}},
      {"refused: the system's text, trimmed", "OFFICE\\backup", "wrong", false,
       "The user name or password is incorrect.\r\n", 0,
       "The user name or password is incorrect.",
       {"LogonUserA(backup, OFFICE, wrong, 9, 0)", "GetLastError", kFormat}},
      {"refused, and the system has no text for the code", "backup", "wrong", false, "", 0,
       "Cannot retrieve error description (error #1326)",
       {"LogonUserA(backup, , wrong, 9, 0)", "GetLastError", kFormat}},
      {"empty password: no logon attempt, a fixed text", "backup", "", true, "", 0,
       "A user name and a password are required to log on", {}},
      {"empty account: no logon attempt, a fixed text", "", "s3cret", true, "", 0,
       "A user name and a password are required to log on", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.logonSucceeds = c.logonSucceeds;
    fake.systemMessage = c.systemMessage;
    std::string errorText = "left over";
    EXPECT_EQ(LogonAndImpersonate(fake, c.account, c.password, errorText), c.token);
    EXPECT_EQ(errorText, c.errorText);
    EXPECT_EQ(fake.calls, c.calls);
  }
}

TEST(EndImpersonation, RevertsBeforeClosingAlsoWhenImpersonationFailed) {
  for (const bool impersonated : {true, false}) {
    SCOPED_TRACE(impersonated ? "impersonated" : "impersonation failed");
    FakePlatform fake;
    fake.impersonateSucceeds = impersonated;
    std::string errorText;
    const TokenHandle token = LogonAndImpersonate(fake, "backup", "s3cret", errorText);
    ASSERT_EQ(token, 0x44u);
    EXPECT_EQ(errorText, "");  // a failed impersonation goes unnoticed
    EndImpersonation(fake, token);
    EXPECT_EQ(fake.calls, (Calls{"LogonUserA(backup, , s3cret, 9, 0)",
                                 "ImpersonateLoggedOnUser(68)", "RevertToSelf",
                                 "CloseHandle(68)"}));
  }
}

// A platform whose error text cannot be handled: the failure is caught inside the logon.
class ExhaustedLogonApi final : public LogonApi {
 public:
  bool LogonUserA(const char*, const char*, const char*, std::uint32_t, std::uint32_t,
                  TokenHandle* token) override {
    *token = 0;
    return false;
  }
  bool ImpersonateLoggedOnUser(TokenHandle) override { return false; }
  bool RevertToSelf() override { return false; }
  bool CloseHandle(TokenHandle) override { return false; }
  bool CredReadW(const char16_t*, std::uint32_t, StoredCredential*) override { return false; }
  SystemErrorCode GetLastError() override { throw std::bad_alloc(); }
  std::uint32_t FormatMessageA(std::uint32_t, SystemErrorCode, std::uint32_t, char*,
                               std::uint32_t) override {
    return 0;
  }
};

TEST(LogonAndImpersonate, AnErrorWhileLoggingOnBecomesTheTextAndNoToken) {
  ExhaustedLogonApi logon;
  std::string errorText;
  EXPECT_EQ(LogonAndImpersonate(logon, "OFFICE\\backup", "s3cret", errorText), 0u);
  EXPECT_EQ(errorText, std::bad_alloc().what());
}

TEST(SystemErrorText, TrimsBytesUpToBlankAndFallsBackToTheCode) {
  const struct {
    const char* why;
    SystemErrorCode code;
    std::string message;  // empty: the system has no text
    std::string expected;
  } cases[] = {
      {"line break dropped, full stop kept", 5, "Access is denied.\r\n", "Access is denied."},
      {"leading blanks and control bytes dropped", 5, " \t\x01" "Access is denied.",
       "Access is denied."},
      {"inner blanks and line breaks kept", 5, "Line one.\r\nLine two.\r\n",
       "Line one.\r\nLine two."},
      {"bytes from 128 up are never trimmed", 5, "\xa0Zugriff verweigert\xa0\r\n",
       "\xa0Zugriff verweigert\xa0"},
      {"blank only", 5, " \r\n", ""},
      {"inserts left as written", 34, "Insert %2 into drive %1.\r\n", "Insert %2 into drive %1."},
      {"no text", 1326, "", "Cannot retrieve error description (error #1326)"},
      {"no text, code with the top bit set shown signed", 0x80070035u, "",
       "Cannot retrieve error description (error #-2147024843)"},
      {"no text, all bits set", 0xFFFFFFFFu, "", "Cannot retrieve error description (error #-1)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    FakePlatform fake;
    fake.systemMessage = c.message;
    EXPECT_EQ(SystemErrorText(fake, c.code), c.expected);
    // System texts only, inserts not expanded, neutral language, the whole 512-byte buffer.
    EXPECT_EQ(fake.calls,
              Calls{"FormatMessageA(4608, " + std::to_string(c.code) + ", 0, 512)"});
  }
}

}  // namespace
}  // namespace runwarden
