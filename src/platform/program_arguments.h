#pragma once
// The program's command line as the system hands it over. Windows gives one text, which
// the program splits by its own rule; other systems give the argument vector, used as it
// comes.

#include <string>
#include <vector>

namespace runwarden {

struct ProgramCommandLine {
  bool isOneText = false;
  std::string text;                    // the whole command line, program name first
  std::vector<std::string> arguments;  // the arguments after the program name
};

ProgramCommandLine ReadProgramCommandLine(int argc, char** argv);

}  // namespace runwarden
