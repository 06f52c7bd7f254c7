// Output files on Linux: written beside the target and renamed over it, which rename(2)
// does atomically within one file system.
#ifndef __linux__
#error "output_file_linux.cpp belongs to the Linux build only"
#endif

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

// errno of a failed write, 0 once every byte is written.
int WriteAll(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(file, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// The new file: in the target's folder, so that the rename stays within its file system;
// a hidden name without the target's ending, so that a collector that reads *.prom files
// of the folder passes it over. Another process's leftover of the same name is no reason
// to fail: a few numbered names are tried.
int CreateTemporary(const std::string& target, std::string& temporary) {
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  for (int attempt = 0;; ++attempt) {
    temporary = folder + ".runwarden-" + std::to_string(getpid()) + "-" +
                std::to_string(attempt) + ".tmp";
    const int file = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (file >= 0 || errno != EEXIST || attempt == 9) return file;
  }
}

}  // namespace

SystemErrorCode LinuxOutputFile::ReplaceFile(std::string_view path, std::string_view bytes) {
  const std::string target(path);
  std::string temporary;
  const int file = CreateTemporary(target, temporary);
  if (file < 0) return static_cast<SystemErrorCode>(errno);
  int error = WriteAll(file, bytes);
  // On disk before the rename, so that a crash cannot leave an empty file under the name.
  if (error == 0 && fsync(file) != 0) error = errno;
  if (close(file) != 0 && error == 0) error = errno;
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) unlink(temporary.c_str());
  return static_cast<SystemErrorCode>(error);
}

}  // namespace runwarden
