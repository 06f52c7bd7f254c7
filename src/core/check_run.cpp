#include "core/check_run.h"

// Placeholder until the check driver lands.
namespace runwarden {

CheckStatus RunCheck(const std::vector<std::string>&, Platform& platform, const RegionalSettings&) {
  platform.console.WriteLine("ScriptRes:Unknown:TimeFrame is required");
  return CheckStatus::Unknown;
}

}  // namespace runwarden
