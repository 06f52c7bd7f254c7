#include "core/access/impersonation.h"

#include <exception>

#include "core/access/system_error_text.h"

namespace runwarden {
namespace {

std::string_view WithoutTrailingBackslashes(std::string_view text) {
  while (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  return text;
}

}  // namespace

AccountName SplitAccountName(std::string_view account) {
  const std::string_view stripped = WithoutTrailingBackslashes(account);
  const std::size_t split = stripped.rfind('\\');
  if (split == std::string_view::npos) return {"", std::string(account)};
  return {std::string(WithoutTrailingBackslashes(stripped.substr(0, split))),
          std::string(stripped.substr(split + 1))};
}

TokenHandle LogonAndImpersonate(LogonApi& logon, std::string_view account,
                                const std::string& password, std::string& errorText) {
  errorText.clear();
  TokenHandle token = 0;
  try {
    const AccountName name = SplitAccountName(account);
    if (name.user.empty() || password.empty()) {
      // The thread's last-error code would say nothing about this call.
      errorText = "A user name and a password are required to log on";
      return 0;
    }
    if (logon.LogonUserA(name.user.c_str(), name.domain.c_str(), password.c_str(),
                         kLogonNewCredentials, kLogonProviderDefault, &token)) {
      logon.ImpersonateLoggedOnUser(token);
      return token;
    }
    errorText = SystemErrorText(logon, logon.GetLastError());
    return 0;
  } catch (const std::exception& error) {
    errorText = error.what();
    return 0;
  }
}

void EndImpersonation(LogonApi& logon, TokenHandle token) {
  logon.RevertToSelf();
  logon.CloseHandle(token);
}

}  // namespace runwarden
