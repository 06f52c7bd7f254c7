// The argument vector of Linux, used as it comes.
#ifndef __linux__
#error "program_arguments_linux.cpp belongs to the Linux build only"
#endif

#include "platform/program_arguments.h"

namespace runwarden {

std::vector<std::string> ProgramArguments(int argc, char** argv, const LeadByteSet&) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

}  // namespace runwarden
