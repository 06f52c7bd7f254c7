#pragma once
// Conversion between ANSI texts and the UTF-16 of the Task Scheduler.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace runwarden {

class WideText {
 public:
  virtual ~WideText() = default;
  // MultiByteToWideChar: converts byteCount bytes (no terminator) into at most capacity
  // units of buffer; returns the units written, 0 on failure.
  virtual int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                                  int byteCount, char16_t* buffer, int capacity) = 0;
  // WideCharToMultiByte without a default character: converts unitCount units (no
  // terminator) into at most capacity bytes of buffer; returns the bytes written, 0 on
  // failure.
  virtual int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                  const char16_t* units, int unitCount, char* buffer,
                                  int capacity) = 0;
  // GetACP: the code page that kAnsiCodePage stands for; kUtf8CodePage where the system's
  // texts are UTF-8 already (always on Linux).
  virtual std::uint32_t AnsiCodePage() = 0;

  // The units in codePage through WideCharToMultiByte; empty when the conversion fails.
  std::string Narrow(std::uint32_t codePage, std::u16string_view units) {
    if (units.empty()) return {};
    // No unit takes more than four bytes in any code page, UTF-8 included.
    std::string bytes(units.size() * 4, '\0');
    const int written = WideCharToMultiByte(codePage, 0, units.data(),
                                            static_cast<int>(units.size()), bytes.data(),
                                            static_cast<int>(bytes.size()));
    bytes.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return bytes;
  }
};

}  // namespace runwarden
