// Standard output on Linux: LF line ends; box drawing in UTF-8 under a UTF-8 locale.
#ifndef __linux__
#error "console_linux.cpp belongs to the Linux build only"
#endif

#include <langinfo.h>
#include <locale.h>

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

}  // namespace

void LinuxConsole::WriteLine(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void LinuxConsole::Write(std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
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
