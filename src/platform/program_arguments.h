#pragma once
// The program's command-line arguments, the program name left out. Windows splits the one
// command-line text itself; other systems hand over the vector as it comes.

#include <string>
#include <vector>

#include "core/text_rules.h"

namespace runwarden {

std::vector<std::string> ProgramArguments(int argc, char** argv, const LeadByteSet& leadBytes);

}  // namespace runwarden
