// Output files on Windows: written beside the target and moved over it with MoveFileExW,
// which replaces the target in one step.
#include "platform/win/windows_api_win.h"

#include <ntsecapi.h>  // RtlGenRandom

#include <string>

#include "platform/win/real_platform_win.h"

namespace runwarden {
namespace {

// A file handle closed when it goes out of scope.
class ScopedFile {
 public:
  explicit ScopedFile(HANDLE handle) : handle_(handle) {}
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  ~ScopedFile() { Close(); }
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  bool Close() {
    const bool closed = !Valid() || ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

// The path, written in the system's code page, in UTF-16; empty when it cannot be converted.
std::wstring WidePath(std::string_view path) {
  const int length = static_cast<int>(path.size());
  const int units = ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, wide.data(), units);
  return wide;
}

// A name in folder that no other process can guess: 64 random bits, and no ending that a
// collector reads (*.prom). Empty when no random bits are had.
std::wstring RandomName(const std::wstring& folder) {
  unsigned char random[8];
  if (!RtlGenRandom(random, sizeof random)) return {};
  std::wstring name = folder + L".runwarden-";
  for (const unsigned char byte : random) {
    name += L"0123456789abcdef"[byte >> 4];
    name += L"0123456789abcdef"[byte & 15];
  }
  return name + L".tmp";
}

// The new file: in the target's folder, so that the move stays within its volume, made
// exclusively under a random name; another name is tried when one is taken.
HANDLE CreateTemporary(const std::wstring& target, std::wstring& temporary) {
  const std::size_t separator = target.find_last_of(L"\\/:");
  const std::wstring folder = separator == std::wstring::npos ? L"" : target.substr(0, separator + 1);
  for (int attempt = 0;; ++attempt) {
    temporary = RandomName(folder);
    if (temporary.empty()) return INVALID_HANDLE_VALUE;
    const HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS || attempt == 15) {
      return file;
    }
  }
}

// Moves the new file over the target. A reader that holds the target open without sharing
// its deletion (a collector reading it just then) makes the move fail for that moment: it
// is tried again for at most half a second.
DWORD MoveOver(const std::wstring& temporary, const std::wstring& target) {
  constexpr int kAttempts = 10;
  constexpr DWORD kPauseMilliseconds = 50;
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(temporary.c_str(), target.c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return ERROR_SUCCESS;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
        attempt == kAttempts) {
      return error;
    }
    ::Sleep(kPauseMilliseconds);
  }
}

}  // namespace

SystemErrorCode WindowsOutputFile::ReplaceFile(std::string_view path, std::string_view bytes) {
  const std::wstring target = WidePath(path);
  if (target.empty()) return ERROR_INVALID_NAME;
  std::wstring temporary;
  ScopedFile file(CreateTemporary(target, temporary));
  if (!file.Valid()) return ::GetLastError();
  DWORD error = WriteWhole(file.Get(), bytes);
  // On disk before the move, so that a crash cannot leave an empty file under the name.
  if (error == ERROR_SUCCESS && !::FlushFileBuffers(file.Get())) error = ::GetLastError();
  if (!file.Close() && error == ERROR_SUCCESS) error = ::GetLastError();
  if (error == ERROR_SUCCESS) error = MoveOver(temporary, target);
  if (error != ERROR_SUCCESS) ::DeleteFileW(temporary.c_str());
  return error;
}

}  // namespace runwarden
