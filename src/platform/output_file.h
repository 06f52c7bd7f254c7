#pragma once
// Files that receive the program's output in place of standard output.

#include <string_view>

#include "platform/logon_api.h"

namespace runwarden {

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Replaces the file at path (in the system's code page) with bytes, atomically: they are
  // written to a new file in the same folder, which is then renamed over path, so that a
  // reader sees the old content or the new one, never a part. Returns 0, or the system's
  // error code of the step that failed; then the old file is as it was and the new one is
  // removed.
  virtual SystemErrorCode ReplaceFile(std::string_view path, std::string_view bytes) = 0;
};

}  // namespace runwarden
