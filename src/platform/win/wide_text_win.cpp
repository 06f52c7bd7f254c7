// Conversion between ANSI texts and UTF-16 on Windows.
#include "platform/win/windows_api_win.h"

#include "platform/win/real_platform_win.h"

namespace runwarden {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

int WindowsWideText::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                         const char* bytes, int byteCount, char16_t* buffer,
                                         int capacity) {
  return ::MultiByteToWideChar(codePage, flags, bytes, byteCount,
                               reinterpret_cast<wchar_t*>(buffer), capacity);
}

int WindowsWideText::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                         const char16_t* units, int unitCount, char* buffer,
                                         int capacity) {
  return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(units),
                               unitCount, buffer, capacity, nullptr, nullptr);
}

std::uint32_t WindowsWideText::AnsiCodePage() { return ::GetACP(); }

}  // namespace runwarden
