// Upper-casing on Linux: a to z only. Multi-byte locales such as UTF-8 cannot be
// upper-cased byte by byte, and the program compares only ASCII option names this way.
#ifndef __linux__
#error "locale_upper_case_linux.cpp belongs to the Linux build only"
#endif

#include "core/text_rules.h"

namespace runwarden {

std::string LocaleUpperCase(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

}  // namespace runwarden
