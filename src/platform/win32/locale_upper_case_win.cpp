// Locale-aware upper-casing on Windows.
#include "platform/win32/windows_api.h"

#include "core/text_rules.h"

namespace runwarden {

std::string LocaleUpperCase(std::string_view text) {
  std::string upper(text);
  if (!upper.empty()) ::CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

}  // namespace runwarden
