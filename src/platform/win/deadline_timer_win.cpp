// The time limit of a check on Windows: a watchdog thread that ends the process at the
// deadline. MinGW's steady_clock follows the wall clock (GetSystemTimeAsFileTime), so the
// deadline is counted on GetTickCount64; the time point handed back is only nominal, as
// Windows' scheduler objects ignore it.
#include "platform/win/windows_api_win.h"

#include <algorithm>

#include "platform/win/real_platform_win.h"

namespace runwarden {
namespace {

constexpr std::uint64_t kLongestSleep = 0x7FFFFFFF;  // milliseconds; INFINITE is 0xFFFFFFFF

}  // namespace

DeadlineTimer::TimePoint WindowsDeadlineTimer::StartDeadline(std::chrono::seconds limit,
                                                             std::function<int()> writeTimedOut) {
  deadlineTicks_ = GetTickCount64() + static_cast<std::uint64_t>(limit.count()) * 1000;
  writeTimedOut_ = std::move(writeTimedOut);
  // MinGW's default thread model has no std::thread.
  const LPTHREAD_START_ROUTINE watch = [](void* timer) -> DWORD {
    static_cast<WindowsDeadlineTimer*>(timer)->Watch();
    return 0;
  };
  const HANDLE thread = CreateThread(nullptr, 0, watch, this, 0, nullptr);
  // It runs on without its handle. Without a thread (no memory for one) the check has only
  // its own look at the deadline between its steps.
  if (thread != nullptr) CloseHandle(thread);
  return std::chrono::steady_clock::now() + limit;
}

bool WindowsDeadlineTimer::DeadlinePassed() { return GetTickCount64() >= deadlineTicks_; }

bool WindowsDeadlineTimer::ClaimOutput() {
  if (!claimed_.exchange(true)) return true;
  Sleep(INFINITE);  // the watchdog writes the output and ends the process
  return false;
}

// TerminateProcess, not ExitProcess: ExitProcess first notifies every DLL, under the loader
// lock that a call stuck inside CoCreateInstance (loading a DLL) may hold for ever.
void WindowsDeadlineTimer::Watch() {
  for (std::uint64_t now; (now = GetTickCount64()) < deadlineTicks_;) {
    Sleep(static_cast<DWORD>(std::min(deadlineTicks_ - now, kLongestSleep)));
  }
  if (claimed_.exchange(true)) return;
  const int status = writeTimedOut_();
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
}

}  // namespace runwarden
