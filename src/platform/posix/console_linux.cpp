// Standard output on Linux: lines end with LF.
#ifndef __linux__
#error "console_linux.cpp belongs to the Linux build only"
#endif

#include <cstdio>

#include "platform/posix/real_platform_linux.h"

namespace runwarden {

void LinuxConsole::WriteLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void LinuxConsole::WriteCp437Line(std::string_view line) { WriteLine(line); }

}  // namespace runwarden
