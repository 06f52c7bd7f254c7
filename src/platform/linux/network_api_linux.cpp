// Network connections on Linux: there is no credentialed connection to open, so the call
// only reports that; nothing of the password is kept.
#ifndef __linux__
#error "network_api_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/real_platform_linux.h"

namespace runwarden {

namespace {
constexpr SystemErrorCode kErrorNotSupported = 50;  // ERROR_NOT_SUPPORTED
}

SystemErrorCode LinuxNetworkApi::WNetAddConnection2A(const NetResource&, const char*, const char*,
                                                     std::uint32_t) {
  return kErrorNotSupported;
}

SystemErrorCode LinuxNetworkApi::WNetCancelConnection2A(const char*, std::uint32_t, bool) {
  return kErrorNotSupported;
}

}  // namespace runwarden
