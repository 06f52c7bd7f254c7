#pragma once
// The outcome of a check.

namespace runwarden {

// The outcome of a check, and the process exit status.
enum class CheckStatus { Ok = 0, Bad = 1, Unknown = 2 };

}  // namespace runwarden
