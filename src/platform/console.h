#pragma once
// Standard output of the console.

#include <string_view>

namespace runwarden {

class Console {
 public:
  virtual ~Console() = default;
  // One line of bytes, written unchanged and ended by the platform's line end.
  virtual void WriteLine(std::string_view line) = 0;
  // One line of code page 437 bytes (the banner's box drawing), shown as well as the
  // terminal can show it; ended like WriteLine.
  virtual void WriteCp437Line(std::string_view line) = 0;
  // Bytes written unchanged, line ends included: a form whose line ends are not the
  // platform's.
  virtual void Write(std::string_view bytes) = 0;
  // The platform's line end for text: CR LF on Windows, LF on Linux.
  virtual std::string_view LineEnd() = 0;
};

}  // namespace runwarden
