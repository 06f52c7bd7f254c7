// Standard output on Windows: lines end with CR LF, written in binary mode so that nothing
// is doubled; standard error for what goes wrong with it.
#include "platform/win/windows_api_win.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

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

// Straight to the handle, after what the C run-time still holds, so that a failure comes
// back with its system error code.
SystemErrorCode WindowsConsole::Write(std::string_view bytes) {
  std::fflush(stdout);
  return WriteWhole(::GetStdHandle(STD_OUTPUT_HANDLE), bytes);
}

void WindowsConsole::WriteErrorLine(std::string_view line) {
  WriteWhole(::GetStdHandle(STD_ERROR_HANDLE), std::string(line) + "\r\n");
}

std::string_view WindowsConsole::LineEnd() { return "\r\n"; }

// The console's OEM code page is 437 for the banner's box drawing.
void WindowsConsole::WriteCp437Line(std::string_view line) { WriteBinaryLine(line); }

}  // namespace runwarden
