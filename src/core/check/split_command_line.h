#pragma once
// Splitting the one command-line text that Windows hands a program into its arguments.

#include <string>
#include <string_view>
#include <vector>

#include "core/calendar/text_rules.h"
#include "platform/program_arguments.h"

namespace runwarden {

// Bytes 1 to 32 separate arguments. A double quote opens or closes a stretch in which
// blanks belong to the argument; the quotes are dropped, and two double quotes at the
// very start of an argument are dropped too (so "" alone is no argument). A lead byte of the
// system's code page and its trail byte count as one character, so a trail byte never opens or closes a quoted
// stretch. The text ends at its first zero byte. The program name is the first item.
std::vector<std::string> SplitCommandLine(std::string_view text, const SystemLeadBytes& leadBytes);

// The arguments after the program name: split from the one text where the system gives
// one, else the vector as it came.
std::vector<std::string> ProgramArguments(const ProgramCommandLine& commandLine,
                                          const SystemLeadBytes& leadBytes);

}  // namespace runwarden
