// Output files on Linux. A regular file, or none yet, is replaced by a complete new file
// renamed over it, which rename(2) does atomically within one file system; the new file is
// unnamed (O_TMPFILE) until it is complete, so that a process killed while it writes leaves
// nothing behind. Anything else under the name (a device, a FIFO, a socket) is written in
// place, as a shell redirection would.
#ifndef __linux__
#error "output_file_linux.cpp belongs to the Linux build only"
#endif

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

constexpr mode_t kNewFileMode = 0644;  // less the umask
constexpr int kNameAttempts = 16;
// Answers of the steps below that are no error: the file system keeps no unnamed file (or
// it cannot be linked), so the new file is made under a name; what was taken for a device
// is a regular file after all, so it is replaced.
constexpr int kNoUnnamedFile = -1;
constexpr int kReplaceInstead = -2;

// A descriptor closed when it goes out of scope, or by Close with its error.
class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }
  int Get() const { return descriptor_; }
  bool Valid() const { return descriptor_ >= 0; }
  int Close() {
    if (descriptor_ < 0) return 0;
    const int closed = close(descriptor_);
    descriptor_ = -1;
    return closed == 0 ? 0 : errno;
  }

 private:
  int descriptor_;
};

// The folder of path with its slash, where the new file goes so that the rename stays
// within one file system; empty for the current folder.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// A name in folder that no other process can guess: hidden, 64 random bits, and without an
// ending that a collector reads (*.prom). False with errno when no random bits are had.
bool RandomName(const std::string& folder, std::string& name) {
  std::uint64_t random = 0;
  if (getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return false;
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016" PRIx64, random);
  name = folder + ".runwarden-" + digits + ".tmp";
  return true;
}

// The new file takes the mode of the one it replaces, and its owner and group where the
// process may give them (root); elsewhere, or where the file system refuses, it stays the
// process's own. Owner first, as a change of owner clears the set-user-ID bits.
int TakeOver(int file, const struct stat* replaced) {
  if (replaced == nullptr) return 0;
  if (geteuid() == 0 && fchown(file, replaced->st_uid, replaced->st_gid) != 0) {
    // kept as the process's own
  }
  return fchmod(file, replaced->st_mode & 07777) == 0 ? 0 : errno;
}

// The whole new file, on disk before it takes the name, so that a crash cannot leave an
// empty file under it.
int Fill(int file, const struct stat* replaced, std::string_view bytes) {
  int error = TakeOver(file, replaced);
  if (error == 0) error = WriteWhole(file, bytes);
  if (error == 0 && fsync(file) != 0) error = errno;
  return error;
}

// Links the complete unnamed file into folder under a new name, set in temporary. Through
// its descriptor needs the right to read any file (root); through /proc's link to it
// works for others where /proc is there.
int LinkUnnamed(int file, const std::string& folder, std::string& temporary) {
  const std::string self = "/proc/self/fd/" + std::to_string(file);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!RandomName(folder, temporary)) break;
    if (linkat(file, "", AT_FDCWD, temporary.c_str(), AT_EMPTY_PATH) == 0) return 0;
    if (errno == ENOENT &&
        linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      return 0;
    }
    if (errno != EEXIST) break;
  }
  const int error = errno;
  temporary.clear();
  return error == ENOENT ? kNoUnnamedFile : error;
}

// Moves the complete new file over target; removes it when anything failed.
int PutInPlace(int error, const std::string& temporary, const std::string& target) {
  if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0 && !temporary.empty()) unlink(temporary.c_str());
  return error;
}

int ReplaceThroughUnnamed(const std::string& target, const struct stat* replaced,
                          std::string_view bytes) {
  const std::string folder = FolderOf(target);
  Descriptor file(open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC,
                       kNewFileMode));
  if (!file.Valid()) {
    // EISDIR: a kernel that does not know O_TMPFILE; EOPNOTSUPP: a file system without it.
    return errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ? kNoUnnamedFile : errno;
  }
  std::string temporary;
  int error = Fill(file.Get(), replaced, bytes);
  if (error == 0) error = LinkUnnamed(file.Get(), folder, temporary);
  const int closed = file.Close();
  return PutInPlace(error != 0 ? error : closed, temporary, target);
}

// A new file under a random name, made exclusively (never through a link planted there),
// another name tried when one is taken; -1 with errno when none could be made.
int CreateNamed(const std::string& folder, std::string& temporary) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    if (!RandomName(folder, temporary)) break;
    const int file =
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (file >= 0 || errno != EEXIST) return file;
  }
  return -1;
}

int ReplaceThroughNamed(const std::string& target, const struct stat* replaced,
                        std::string_view bytes) {
  std::string temporary;
  Descriptor file(CreateNamed(FolderOf(target), temporary));
  if (!file.Valid()) return errno;
  const int error = Fill(file.Get(), replaced, bytes);
  const int closed = file.Close();
  return PutInPlace(error != 0 ? error : closed, temporary, target);
}

// Writes into what exists under path and is not a regular file, as a shell redirection
// does: a device, a FIFO (waiting for its reader), a socket. kReplaceInstead when it has
// become a regular file meanwhile.
int WriteInPlace(const std::string& path, std::string_view bytes) {
  Descriptor file(open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
  if (!file.Valid()) return errno;
  struct stat opened {};
  if (fstat(file.Get(), &opened) != 0) return errno;
  if (S_ISREG(opened.st_mode)) return kReplaceInstead;
  const int error = WriteWhole(file.Get(), bytes);
  const int closed = file.Close();
  return error != 0 ? error : closed;
}

// A link is not replaced but the file it leads to. False with errno when it leads nowhere.
bool FollowLink(std::string& path) {
  struct stat entry {};
  if (lstat(path.c_str(), &entry) != 0 || !S_ISLNK(entry.st_mode)) return true;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return false;
  path = resolved;
  std::free(resolved);
  return true;
}

}  // namespace

SystemErrorCode LinuxOutputFile::ReplaceFile(std::string_view path, std::string_view bytes) {
  std::string target(path);
  struct stat found {};
  if (stat(target.c_str(), &found) == 0) {  // through links
    if (S_ISDIR(found.st_mode)) return EISDIR;
    if (!S_ISREG(found.st_mode)) {
      const int error = WriteInPlace(target, bytes);
      if (error != kReplaceInstead) return static_cast<SystemErrorCode>(error);
    }
  }
  if (!FollowLink(target)) return static_cast<SystemErrorCode>(errno);
  struct stat replaced {};
  const bool regular = stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode);
  const struct stat* kept = regular ? &replaced : nullptr;
  int error = ReplaceThroughUnnamed(target, kept, bytes);
  if (error == kNoUnnamedFile) error = ReplaceThroughNamed(target, kept, bytes);
  return static_cast<SystemErrorCode>(error);
}

}  // namespace runwarden
