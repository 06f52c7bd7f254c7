#pragma once
// Logon of an explicit account and impersonation of it by the running thread, so that the
// scheduler calls that follow carry its credentials. A failed logon never raises: it
// returns no token and the reason.

#include <string>
#include <string_view>

#include "platform/logon_api.h"

namespace runwarden {

struct AccountName {
  std::string domain;
  std::string user;
  friend bool operator==(const AccountName&, const AccountName&) = default;
};

// "OFFICE\backup" -> OFFICE, backup. Only the last backslash splits; backslashes at the
// end of the text and of the domain are dropped first, but a text with no backslash left
// after that is the user name as written.
AccountName SplitAccountName(std::string_view account);

// The token of the logged-on, impersonated account, or 0 with the reason in errorText.
TokenHandle LogonAndImpersonate(LogonApi& logon, std::string_view account,
                                const std::string& password, std::string& errorText);

// Stops impersonating, then closes the token.
void EndImpersonation(LogonApi& logon, TokenHandle token);

}  // namespace runwarden
