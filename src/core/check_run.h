#pragma once
// One check of one scheduled task, from the command line to the result line.

#include <string>
#include <vector>

#include "core/check_settings.h"
#include "core/text_forms.h"
#include "platform/platform.h"

namespace runwarden {

// Runs the check for the program's arguments (program name left out), prints the help
// text when asked and then exactly one result line, in the form -format: asks for;
// returns the process exit status.
int RunCheck(const std::vector<std::string>& arguments, Platform& platform,
             const RegionalSettings& settings);

}  // namespace runwarden
