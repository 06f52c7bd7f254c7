#include "core/access/stored_credential.h"

#include <cstddef>

#include "core/access/system_error_text.h"
#include "platform/code_page.h"

namespace runwarden {
namespace {

// Through a volatile pointer, so that the compiler cannot drop the stores to a text that is
// emptied next.
template <class Text>
void WipeStorage(Text& text) {
  text.resize(text.capacity());
  volatile auto* units = text.data();
  for (std::size_t i = 0; i < text.size(); ++i) units[i] = 0;
  text.clear();
}

// A name in the system's code page in UTF-16; empty when it cannot be converted.
std::u16string WideTarget(WideText& wideText, std::string_view target) {
  std::u16string units(target.size(), u'\0');  // n bytes become at most n units
  const int written =
      target.empty() ? 0
                     : wideText.MultiByteToWideChar(kAnsiCodePage, 0, target.data(),
                                                    static_cast<int>(target.size()),
                                                    units.data(), static_cast<int>(units.size()));
  units.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
  return units;
}

}  // namespace

bool ReadStoredCredential(LogonApi& logon, WideText& wideText, std::string_view target,
                          std::string& account, std::string& password, std::string& errorText) {
  const std::u16string wideTarget = WideTarget(wideText, target);
  StoredCredential credential;
  if (!logon.CredReadW(wideTarget.c_str(), kCredTypeGeneric, &credential)) {
    errorText = SystemErrorText(logon, logon.GetLastError());
    return false;
  }
  account = wideText.Narrow(kAnsiCodePage, credential.userName);
  WipeSecret(password);
  password = wideText.Narrow(kAnsiCodePage, credential.secret);
  WipeSecret(credential.secret);
  return true;
}

void WipeSecret(std::string& text) { WipeStorage(text); }
void WipeSecret(std::u16string& text) { WipeStorage(text); }

}  // namespace runwarden
