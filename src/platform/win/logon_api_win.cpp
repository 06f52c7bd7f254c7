// Logon, impersonation, the Credential Manager and system error texts of Windows.
#include "platform/win/windows_api_win.h"

#include <wincred.h>

#include <cstring>
#include <new>

#include "platform/win/real_platform_win.h"

namespace runwarden {

bool WindowsLogonApi::LogonUserA(const char* user, const char* domain, const char* password,
                                 std::uint32_t logonType, std::uint32_t provider,
                                 TokenHandle* token) {
  HANDLE handle = nullptr;
  const BOOL ok = ::LogonUserA(user, domain, password, logonType, provider, &handle);
  *token = reinterpret_cast<TokenHandle>(handle);
  return ok != FALSE;
}

bool WindowsLogonApi::ImpersonateLoggedOnUser(TokenHandle token) {
  return ::ImpersonateLoggedOnUser(reinterpret_cast<HANDLE>(token)) != FALSE;
}

bool WindowsLogonApi::RevertToSelf() { return ::RevertToSelf() != FALSE; }

bool WindowsLogonApi::CloseHandle(TokenHandle token) {
  return ::CloseHandle(reinterpret_cast<HANDLE>(token)) != FALSE;
}

bool WindowsLogonApi::CredReadW(const char16_t* target, std::uint32_t type,
                                StoredCredential* credential) {
  PCREDENTIALW stored = nullptr;
  if (!::CredReadW(reinterpret_cast<LPCWSTR>(target), type, 0, &stored)) return false;
  bool copied = true;
  try {
    if (stored->UserName) {
      credential->userName = reinterpret_cast<const char16_t*>(stored->UserName);
    }
    // The blob as whole UTF-16 units; a stray last byte belongs to no unit.
    const DWORD units = stored->CredentialBlobSize / sizeof(char16_t);
    credential->secret.resize(units);
    if (units != 0) {
      std::memcpy(credential->secret.data(), stored->CredentialBlob, units * sizeof(char16_t));
    }
  } catch (const std::bad_alloc&) {
    copied = false;
  }
  ::SecureZeroMemory(stored->CredentialBlob, stored->CredentialBlobSize);
  ::CredFree(stored);
  if (!copied) ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return copied;
}

SystemErrorCode WindowsLogonApi::GetLastError() { return ::GetLastError(); }

std::uint32_t WindowsLogonApi::FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                                              std::uint32_t languageId, char* buffer,
                                              std::uint32_t size) {
  return ::FormatMessageA(flags, nullptr, messageId, languageId, buffer, size, nullptr);
}

}  // namespace runwarden
