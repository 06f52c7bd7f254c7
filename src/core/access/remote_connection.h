#pragma once
// The network connection to the remote computer under the check's account. It is left in
// place when the program ends.

#include <string>

#include "platform/network_api.h"

namespace runwarden {

// The platform's result, 0 when the connection exists. With force, a credential conflict
// (1219) drops the existing connection to host and tries once more.
SystemErrorCode ConnectRemoteHost(NetworkApi& network, const std::string& host,
                                  const std::string& user, const std::string& password,
                                  bool force);

}  // namespace runwarden
