#include "core/access/remote_connection.h"

namespace runwarden {

SystemErrorCode ConnectRemoteHost(NetworkApi& network, const std::string& host,
                                  const std::string& user, const std::string& password,
                                  bool force) {
  NetResource resource{};
  resource.dwType = kResourceTypeAny;
  resource.lpRemoteName = host.c_str();
  SystemErrorCode result = network.WNetAddConnection2A(resource, password.c_str(), user.c_str(), 0);
  if (result == kErrorSessionCredentialConflict && force) {
    network.WNetCancelConnection2A(host.c_str(), 0, false);
    result = network.WNetAddConnection2A(resource, password.c_str(), user.c_str(), 0);
  }
  return result;
}

}  // namespace runwarden
