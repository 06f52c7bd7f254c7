// Logon on Linux: an explicit Windows-style logon has no equivalent, so it always fails
// with a fixed reason; the check then goes on under the program's own account. Nor is there
// a store of credentials to read: that fails with a fixed reason of its own. The other
// system error codes of Linux are errno values, and their texts the C library's.
#ifndef __linux__
#error "logon_api_linux.cpp belongs to the Linux build only"
#endif

#include <cstring>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

constexpr SystemErrorCode kErrorNotSupported = 50;  // ERROR_NOT_SUPPORTED
constexpr char kLogonNotSupported[] = "Logon with an explicit account is not supported on Linux.";
constexpr SystemErrorCode kErrorNoSuchLogonSession = 1312;  // ERROR_NO_SUCH_LOGON_SESSION
constexpr char kNoCredentialStore[] =
    "Linux keeps no credentials for the check; a remote Linux computer is reached with ssh keys.";

}  // namespace

bool LinuxLogonApi::LogonUserA(const char*, const char*, const char*, std::uint32_t,
                               std::uint32_t, TokenHandle* token) {
  *token = 0;
  lastError_ = kErrorNotSupported;
  return false;
}

bool LinuxLogonApi::ImpersonateLoggedOnUser(TokenHandle) { return false; }
bool LinuxLogonApi::RevertToSelf() { return true; }
bool LinuxLogonApi::CloseHandle(TokenHandle) { return true; }
bool LinuxLogonApi::CredReadW(const char16_t*, std::uint32_t, StoredCredential*) {
  lastError_ = kErrorNoSuchLogonSession;
  return false;
}

SystemErrorCode LinuxLogonApi::GetLastError() { return lastError_; }

// The codes of the logon and of the credential stand for their fixed reasons (errno 50,
// ENOCSI, comes from no call the program makes; errno values stop far below 1312); any other
// code is an errno value. 0 for a code without a text.
std::uint32_t LinuxLogonApi::FormatMessageA(std::uint32_t, SystemErrorCode messageId,
                                            std::uint32_t, char* buffer, std::uint32_t size) {
  const char* text = messageId == kErrorNotSupported         ? kLogonNotSupported
                     : messageId == kErrorNoSuchLogonSession ? kNoCredentialStore
                                                             : strerrordesc_np(static_cast<int>(messageId));
  if (text == nullptr) return 0;
  const std::size_t length = std::strlen(text);
  if (size <= length) return 0;
  std::memcpy(buffer, text, length + 1);
  return static_cast<std::uint32_t>(length);
}

}  // namespace runwarden
