#pragma once
// The one gateway to the Windows headers: every Windows platform file includes this
// instead of <windows.h>.

#ifndef _WIN32
#error "windows_api_win.h belongs to the Windows build only"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// Windows 7 and later; MinGW's default is older.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601

#include <windows.h>

#include <cstdint>

#include <string_view>

namespace runwarden {

// Writes every byte to the file or stream; ERROR_SUCCESS, or the error of the call that failed.
inline DWORD WriteWhole(HANDLE handle, std::string_view bytes) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
  while (!bytes.empty()) {
    const auto chunk = static_cast<DWORD>(bytes.size() < 0x10000000 ? bytes.size() : 0x10000000);
    DWORD written = 0;
    if (!::WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return ::GetLastError();
    bytes.remove_prefix(written);
  }
  return ERROR_SUCCESS;
}

// A FILETIME (100 ns units since 1601-01-01 UTC) in whole seconds since 1970, rounded down.
inline std::int64_t UnixTimeFromFileTime(const FILETIME& time) {
  constexpr std::int64_t kUnitsPerSecond = 10'000'000;
  constexpr std::int64_t kUnixEpochUnits = 116'444'736'000'000'000;  // 1970-01-01 in FILETIME
  const auto units = static_cast<std::int64_t>(
      (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
  const std::int64_t since = units - kUnixEpochUnits;
  return since / kUnitsPerSecond - (since % kUnitsPerSecond < 0 ? 1 : 0);
}

}  // namespace runwarden
