#pragma once
// Files that receive the program's output in place of standard output.

#include <string_view>

#include "platform/logon_api.h"

namespace runwarden {

class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // Writes bytes to the file at path (in the system's code page). A regular file, or none
  // yet, is replaced atomically: the bytes go to a new file in the same folder, under a
  // name no other process can guess (on Linux an unnamed file where the file system allows
  // it), which is then renamed over path, so that a reader sees the old content or the new
  // one, never a part. The new file keeps the mode of the file it replaces (and its owner
  // and group when the process may set them); a file made anew has mode 0644 less the
  // umask. On Linux, anything else that exists under the name (a device, a FIFO, a socket,
  // a link to one) is written in place, as a shell redirection would, never replaced.
  // Returns 0, or the system's error code of the step that failed; then a replaced file is
  // as it was and the new one is removed.
  virtual SystemErrorCode ReplaceFile(std::string_view path, std::string_view bytes) = 0;
};

}  // namespace runwarden
