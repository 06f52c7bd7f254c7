// The program's arguments on Windows, split from the process's one command-line text.
#include "platform/win32/windows_api.h"

#include "core/split_command_line.h"
#include "platform/program_arguments.h"

namespace runwarden {

// The program's own splitting rule, not the C run-time's argv.
std::vector<std::string> ProgramArguments(int, char**, const LeadByteSet& leadBytes) {
  std::vector<std::string> arguments = SplitCommandLine(::GetCommandLineA(), leadBytes);
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program name
  return arguments;
}

}  // namespace runwarden
