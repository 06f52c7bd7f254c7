#pragma once
// Network connections to a remote computer under explicit credentials.

#include <cstdint>

#include "platform/logon_api.h"

namespace runwarden {

inline constexpr std::uint32_t kResourceTypeAny = 0;
inline constexpr SystemErrorCode kErrorSessionCredentialConflict = 1219;

// The platform's NETRESOURCE record, ANSI form.
struct NetResource {
  std::uint32_t dwScope = 0;
  std::uint32_t dwType = 0;
  std::uint32_t dwDisplayType = 0;
  std::uint32_t dwUsage = 0;
  const char* lpLocalName = nullptr;
  const char* lpRemoteName = nullptr;
  const char* lpComment = nullptr;
  const char* lpProvider = nullptr;
};

class NetworkApi {
 public:
  virtual ~NetworkApi() = default;
  // Note the order: password before user.
  virtual SystemErrorCode WNetAddConnection2A(const NetResource& resource, const char* password,
                                              const char* user, std::uint32_t flags) = 0;
  virtual SystemErrorCode WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                                 bool force) = 0;
};

}  // namespace runwarden
