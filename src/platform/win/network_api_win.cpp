// Network connections of Windows.
#include "platform/win/windows_api_win.h"

#include <winnetwk.h>

#include "platform/win/real_platform_win.h"

namespace runwarden {

SystemErrorCode WindowsNetworkApi::WNetAddConnection2A(const NetResource& resource,
                                                       const char* password, const char* user,
                                                       std::uint32_t flags) {
  NETRESOURCEA record{};
  record.dwScope = resource.dwScope;
  record.dwType = resource.dwType;
  record.dwDisplayType = resource.dwDisplayType;
  record.dwUsage = resource.dwUsage;
  record.lpLocalName = const_cast<char*>(resource.lpLocalName);
  record.lpRemoteName = const_cast<char*>(resource.lpRemoteName);
  record.lpComment = const_cast<char*>(resource.lpComment);
  record.lpProvider = const_cast<char*>(resource.lpProvider);
  return ::WNetAddConnection2A(&record, password, user, flags);
}

SystemErrorCode WindowsNetworkApi::WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                                          bool force) {
  return ::WNetCancelConnection2A(name, flags, force ? TRUE : FALSE);
}

}  // namespace runwarden
