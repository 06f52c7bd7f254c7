// Standard output on Linux: LF line ends; box drawing in UTF-8 under a UTF-8 locale.
#ifndef __linux__
#error "console_linux.cpp belongs to the Linux build only"
#endif

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// Whether the character set of the locale the environment chooses (LC_ALL, LC_CTYPE,
// LANG) is UTF-8. Asked through a locale object of its own, so that the process's locale
// stays as it is for everything else.
bool EnvironmentLocaleIsUtf8() {
  const locale_t environment = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
  if (environment == static_cast<locale_t>(nullptr)) return false;
  const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, environment), "UTF-8") == 0;
  freelocale(environment);
  return utf8;
}

// The UTF-8 form of the nine box-drawing bytes the banner uses; nullptr for other bytes.
const char* BoxDrawingUtf8(unsigned char cp437) {
  switch (cp437) {
    case 0xDA: return "\u250C";  // light down and right
    case 0xC4: return "\u2500";  // light horizontal
    case 0xFE: return "\u25A0";  // black square
    case 0xB7: return "\u2556";  // down double and left single
    case 0xB3: return "\u2502";  // light vertical
    case 0xBA: return "\u2551";  // double vertical
    case 0xD4: return "\u2558";  // up single and right double
    case 0xCD: return "\u2550";  // double horizontal
    case 0xBC: return "\u255D";  // double up and left
    default: return nullptr;
  }
}

std::string BoxDrawingAsUtf8(std::string_view line) {
  std::string converted;
  converted.reserve(line.size() * 3);
  for (char byte : line) {
    const char* utf8 = BoxDrawingUtf8(static_cast<unsigned char>(byte));
    if (utf8 != nullptr) {
      converted += utf8;
    } else {
      converted += byte;
    }
  }
  return converted;
}

// Whether the descriptor was closed; if so it is held open on /dev/null from now on.
bool ReserveIfClosed(int descriptor) {
  if (fcntl(descriptor, F_GETFD) != -1 || errno != EBADF) return false;
  const int placeholder = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (placeholder >= 0 && placeholder != descriptor) {  // a lower one was free too
    dup2(placeholder, descriptor);
    close(placeholder);
  }
  return true;
}

}  // namespace

int WriteWhole(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

LinuxConsole::LinuxConsole()
    : outputClosed_(ReserveIfClosed(STDOUT_FILENO)), errorClosed_(ReserveIfClosed(STDERR_FILENO)) {}

void LinuxConsole::WriteLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

SystemErrorCode LinuxConsole::Write(std::string_view bytes) {
  if (outputClosed_) return EBADF;
  // What stdio still holds (the help text) comes first; its failure is the output's too.
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) return errno != 0 ? errno : EIO;
  return static_cast<SystemErrorCode>(WriteWhole(STDOUT_FILENO, bytes));
}

void LinuxConsole::WriteErrorLine(std::string_view line) {
  if (errorClosed_) return;
  std::string text(line);
  text += '\n';
  WriteWhole(STDERR_FILENO, text);
}

std::string_view LinuxConsole::LineEnd() { return "\n"; }

void LinuxConsole::WriteCp437Line(std::string_view line) {
  static const bool utf8 = EnvironmentLocaleIsUtf8();
  if (utf8) {
    WriteLine(BoxDrawingAsUtf8(line));
  } else {
    WriteLine(line);
  }
}

}  // namespace runwarden
