#pragma once
// Standard output of the console, and standard error for what goes wrong with it.

#include <string_view>

#include "platform/logon_api.h"

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
  // platform's. Returns 0 once every byte is written, else the system's error code (a full
  // disk, a closed standard output).
  virtual SystemErrorCode Write(std::string_view bytes) = 0;
  // One line on standard error, ended by the platform's line end; nothing when that fails.
  virtual void WriteErrorLine(std::string_view line) = 0;
  // The platform's line end for text: CR LF on Windows, LF on Linux.
  virtual std::string_view LineEnd() = 0;
};

}  // namespace runwarden
