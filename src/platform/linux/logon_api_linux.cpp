// Logon on Linux: an explicit Windows-style logon has no equivalent, so it always fails
// with a fixed reason; the check then goes on under the program's own account.
#ifndef __linux__
#error "logon_api_linux.cpp belongs to the Linux build only"
#endif

#include <cstring>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

constexpr SystemErrorCode kErrorNotSupported = 50;  // ERROR_NOT_SUPPORTED
constexpr char kLogonNotSupported[] = "Logon with an explicit account is not supported on Linux.";

}  // namespace

bool LinuxLogonApi::LogonUserA(const char*, const char*, const char*, std::uint32_t,
                               std::uint32_t, TokenHandle* token) {
  *token = 0;
  return false;
}

bool LinuxLogonApi::ImpersonateLoggedOnUser(TokenHandle) { return false; }
bool LinuxLogonApi::RevertToSelf() { return true; }
bool LinuxLogonApi::CloseHandle(TokenHandle) { return true; }
SystemErrorCode LinuxLogonApi::GetLastError() { return kErrorNotSupported; }

std::uint32_t LinuxLogonApi::FormatMessageA(std::uint32_t, SystemErrorCode messageId,
                                            std::uint32_t, char* buffer, std::uint32_t size) {
  if (messageId != kErrorNotSupported || size < sizeof kLogonNotSupported) return 0;
  std::memcpy(buffer, kLogonNotSupported, sizeof kLogonNotSupported);
  return sizeof kLogonNotSupported - 1;
}

}  // namespace runwarden
