// The argument vector of Linux, used as it comes.
#ifndef __linux__
#error "program_arguments_linux.cpp belongs to the Linux build only"
#endif

#include "platform/program_arguments.h"

namespace runwarden {

ProgramCommandLine ReadProgramCommandLine(int argc, char** argv) {
  ProgramCommandLine commandLine;
  if (argc > 1) commandLine.arguments.assign(argv + 1, argv + argc);
  return commandLine;
}

}  // namespace runwarden
