#pragma once
// The system's own text for a system error code: the one place where codes become words.

#include <string>

#include "platform/logon_api.h"

namespace runwarden {

// The message without its leading and trailing bytes 0 to 32, or "Cannot retrieve error
// description (error #<code>)" when the system has none.
std::string SystemErrorText(LogonApi& logon, SystemErrorCode code);

}  // namespace runwarden
