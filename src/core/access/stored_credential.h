#pragma once
// The account and password that the system keeps for the account running the check, under a
// target name (-cred:), so that no password need stand on the command line; and the wiping of
// a secret once it was used.

#include <string>
#include <string_view>

#include "platform/logon_api.h"
#include "platform/wide_text.h"

namespace runwarden {

// The generic credential of target (a name in the system's code page): its account and its
// password, converted to the system's code page; false with the system's reason in
// errorText. Nothing of the secret stays in memory but password.
bool ReadStoredCredential(LogonApi& logon, WideText& wideText, std::string_view target,
                          std::string& account, std::string& password, std::string& errorText);

// Overwrites the whole storage of the text with zeros, then empties it.
void WipeSecret(std::string& text);
void WipeSecret(std::u16string& text);

}  // namespace runwarden
