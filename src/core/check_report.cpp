#include "core/check_report.h"

#include <algorithm>

namespace runwarden {

std::string OnOneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

}  // namespace runwarden
