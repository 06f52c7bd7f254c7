// The program's command line on Windows: the process's one command-line text, split by the
// program's own rule rather than by the C run-time's argv.
#include "platform/win/windows_api_win.h"

#include "platform/program_arguments.h"

namespace runwarden {

ProgramCommandLine ReadProgramCommandLine(int, char**) {
  ProgramCommandLine commandLine;
  commandLine.isOneText = true;
  commandLine.text = ::GetCommandLineA();
  return commandLine;
}

}  // namespace runwarden
