// Upper-casing on Linux: a to z only. Multi-byte locales such as UTF-8 cannot be
// upper-cased byte by byte, and the program compares only ASCII option names this way.
#ifndef __linux__
#error "case_mapping_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/real_platform_linux.h"

namespace runwarden {

std::uint32_t LinuxCaseMapping::CharUpperBuffA(char* text, std::uint32_t length) {
  for (std::uint32_t i = 0; i < length; ++i) {
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
  }
  return length;
}

}  // namespace runwarden
