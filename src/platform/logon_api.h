#pragma once
// Logon of an explicit account, impersonation by the running thread, the credentials kept
// for an account, and the text of system error codes.

#include <cstdint>
#include <string>

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

inline constexpr std::uint32_t kCredTypeGeneric = 1;  // CRED_TYPE_GENERIC

// A credential as the system keeps it: the account it names and its secret, the blob read
// as UTF-16LE units (as a password is stored).
struct StoredCredential {
  std::u16string userName;
  std::u16string secret;
};

class LogonApi {
 public:
  virtual ~LogonApi() = default;
  // Non-zero on success with the token stored; zero with the reason in GetLastError.
  virtual bool LogonUserA(const char* user, const char* domain, const char* password,
                          std::uint32_t logonType, std::uint32_t provider, TokenHandle* token) = 0;
  virtual bool ImpersonateLoggedOnUser(TokenHandle token) = 0;
  virtual bool RevertToSelf() = 0;
  virtual bool CloseHandle(TokenHandle token) = 0;
  // CredReadW of the account running the program: true with the credential of that target
  // name and type stored in *credential; false with the reason in GetLastError. The
  // system's own copy of the secret is wiped before it is freed.
  virtual bool CredReadW(const char16_t* target, std::uint32_t type,
                         StoredCredential* credential) = 0;
  virtual SystemErrorCode GetLastError() = 0;
  // Characters stored (the text ends with a zero byte), 0 on failure.
  virtual std::uint32_t FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                                       std::uint32_t languageId, char* buffer,
                                       std::uint32_t size) = 0;
};

}  // namespace runwarden
