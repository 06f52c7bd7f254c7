// The time limit of a check on Windows: a watchdog thread that ends the process at the
// deadline. MinGW's steady_clock follows the wall clock (GetSystemTimeAsFileTime), so the
// deadline is counted on GetTickCount64; the time point handed back is only nominal, as
// Windows' scheduler objects ignore it.
#include "platform/win/windows_api_win.h"

#include <algorithm>
#include <initializer_list>

#include "platform/win/real_platform_win.h"

namespace runwarden {
namespace {

constexpr std::uint64_t kLongestSleep = 0x7FFFFFFF;  // milliseconds; INFINITE is 0xFFFFFFFF
// How long after the deadline the output may take to be written whole before it is given
// up: the process ends within the limit and a second.
constexpr std::uint64_t kWriteGraceMilliseconds = 700;

using Output = WindowsDeadlineTimer::Output;

// Moves output from one of the states in from to to; false when it is in none of them.
bool Move(std::atomic<Output>& output, std::initializer_list<Output> from, Output to) {
  for (Output state : from) {
    if (output.compare_exchange_strong(state, to)) return true;
  }
  return false;
}

void SleepUntil(std::uint64_t ticks) {
  for (std::uint64_t now; (now = GetTickCount64()) < ticks;) {
    Sleep(static_cast<DWORD>(std::min(ticks - now, kLongestSleep)));
  }
}

// TerminateProcess, not ExitProcess: ExitProcess first notifies every DLL, under the loader
// lock that a call stuck inside CoCreateInstance (loading a DLL) may hold for ever.
void EndProcess(int status) { TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status)); }

}  // namespace

DeadlineTimer::TimePoint WindowsDeadlineTimer::StartDeadline(std::chrono::seconds limit,
                                                             int unwrittenStatus,
                                                             std::function<int()> writeTimedOut) {
  deadlineTicks_ = GetTickCount64() + static_cast<std::uint64_t>(limit.count()) * 1000;
  unwrittenStatus_ = unwrittenStatus;
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
  if (Move(output_, {Output::Open}, Output::CheckWriting)) return true;
  Sleep(INFINITE);  // the watchdog writes the output and ends the process
  return false;
}

bool WindowsDeadlineTimer::OutputWritten() {
  if (Move(output_, {Output::CheckWriting}, Output::Written)) return true;
  Sleep(INFINITE);  // the watchdog has given the output up
  return false;
}

void WindowsDeadlineTimer::WriteTimedOut() {
  const int status = writeTimedOut_();
  if (Move(output_, {Output::WatchdogWriting}, Output::Written)) EndProcess(status);
  Sleep(INFINITE);
}

void WindowsDeadlineTimer::Watch() {
  SleepUntil(deadlineTicks_);
  if (Move(output_, {Output::Open}, Output::WatchdogWriting)) {
    const LPTHREAD_START_ROUTINE write = [](void* timer) -> DWORD {
      static_cast<WindowsDeadlineTimer*>(timer)->WriteTimedOut();
      return 0;
    };
    const HANDLE writer = CreateThread(nullptr, 0, write, this, 0, nullptr);
    if (writer == nullptr) WriteTimedOut();  // no second thread: written here, without a bound
    if (writer != nullptr) CloseHandle(writer);
  }
  SleepUntil(deadlineTicks_ + kWriteGraceMilliseconds);
  if (Move(output_, {Output::CheckWriting, Output::WatchdogWriting}, Output::GivenUp)) {
    EndProcess(unwrittenStatus_);
  }
}

}  // namespace runwarden
