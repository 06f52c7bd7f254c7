// Logon, impersonation and system error texts of Windows.
#include "platform/win/windows_api_win.h"

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

SystemErrorCode WindowsLogonApi::GetLastError() { return ::GetLastError(); }

std::uint32_t WindowsLogonApi::FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                                              std::uint32_t languageId, char* buffer,
                                              std::uint32_t size) {
  return ::FormatMessageA(flags, nullptr, messageId, languageId, buffer, size, nullptr);
}

}  // namespace runwarden
