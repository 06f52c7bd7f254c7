// The program's arguments on Windows.
#include "platform/win32/windows_api.h"

#include "platform/program_arguments.h"

namespace runwarden {

std::vector<std::string> ProgramArguments(int argc, char** argv, const LeadByteSet&) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>{};
}

}  // namespace runwarden
