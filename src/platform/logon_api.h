#pragma once
// Logon of an explicit account, impersonation by the running thread, and the text of
// system error codes.

#include <cstdint>

namespace runwarden {

// An operating-system handle to a logon token; 0 is none.
using TokenHandle = std::uintptr_t;
using SystemErrorCode = std::uint32_t;

inline constexpr std::uint32_t kLogonNewCredentials = 9;
inline constexpr std::uint32_t kLogonProviderDefault = 0;
inline constexpr std::uint32_t kFormatMessageFromSystem = 0x1000;
// Leaves %1-style inserts as written: a system text with inserts and no arguments for
// them must not be expanded.
inline constexpr std::uint32_t kFormatMessageIgnoreInserts = 0x200;

class LogonApi {
 public:
  virtual ~LogonApi() = default;
  // Non-zero on success with the token stored; zero with the reason in GetLastError.
  virtual bool LogonUserA(const char* user, const char* domain, const char* password,
                          std::uint32_t logonType, std::uint32_t provider, TokenHandle* token) = 0;
  virtual bool ImpersonateLoggedOnUser(TokenHandle token) = 0;
  virtual bool RevertToSelf() = 0;
  virtual bool CloseHandle(TokenHandle token) = 0;
  virtual SystemErrorCode GetLastError() = 0;
  // Characters stored (the text ends with a zero byte), 0 on failure.
  virtual std::uint32_t FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                                       std::uint32_t languageId, char* buffer,
                                       std::uint32_t size) = 0;
};

}  // namespace runwarden
