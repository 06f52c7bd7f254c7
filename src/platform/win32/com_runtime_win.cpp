// The COM run-time of Windows and the Task Scheduler 1.0 object.
#include "platform/win32/windows_api.h"

#include <objbase.h>

#include "platform/win32/real_platform_win.h"

namespace runwarden {

HResult WindowsComRuntime::CoInitialize() { return ::CoInitialize(nullptr); }

void WindowsComRuntime::CoUninitialize() { ::CoUninitialize(); }

HResult WindowsComRuntime::CoCreateInstance(const Guid&, CountedObject*, std::uint32_t,
                                            const Guid&, ITaskScheduler** object) {
  *object = nullptr;
  return static_cast<HResult>(E_NOTIMPL);
}

}  // namespace runwarden
