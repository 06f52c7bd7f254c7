// Standard output on Windows: lines end with CR LF, written in binary mode so that nothing
// is doubled.
#include "platform/win/windows_api_win.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/win/real_platform_win.h"

namespace runwarden {
namespace {

void WriteBinary(std::string_view bytes) {
  static const bool binary = _setmode(_fileno(stdout), _O_BINARY) != -1;
  (void)binary;
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void WriteBinaryLine(std::string_view line) {
  WriteBinary(line);
  WriteBinary("\r\n");
  std::fflush(stdout);
}

}  // namespace

void WindowsConsole::WriteLine(std::string_view line) { WriteBinaryLine(line); }

void WindowsConsole::Write(std::string_view bytes) {
  WriteBinary(bytes);
  std::fflush(stdout);
}

std::string_view WindowsConsole::LineEnd() { return "\r\n"; }

// The console's OEM code page is 437 for the banner's box drawing.
void WindowsConsole::WriteCp437Line(std::string_view line) { WriteBinaryLine(line); }

}  // namespace runwarden
