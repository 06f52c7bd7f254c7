#pragma once
// Conversion of ANSI texts to UTF-16 for the Task Scheduler.

#include <cstdint>

#include "platform/code_page.h"

namespace runwarden {

class WideText {
 public:
  virtual ~WideText() = default;
  // MultiByteToWideChar: converts byteCount bytes (no terminator) into at most capacity
  // units of buffer; returns the units written, 0 on failure.
  virtual int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                                  int byteCount, char16_t* buffer, int capacity) = 0;
};

}  // namespace runwarden
