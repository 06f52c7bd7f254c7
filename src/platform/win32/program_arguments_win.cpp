// The program's arguments on Windows: the process's one command-line text, split by the
// program's own rule rather than the C run-time's.
#include "platform/win32/windows_api.h"

#include "core/split_command_line.h"
#include "platform/program_arguments.h"

namespace runwarden {

std::vector<std::string> ProgramArguments(int, char**, const LeadByteSet& leadBytes) {
  std::vector<std::string> arguments = SplitCommandLine(::GetCommandLineA(), leadBytes);
  if (!arguments.empty()) arguments.erase(arguments.begin());  // the program name
  return arguments;
}

}  // namespace runwarden
