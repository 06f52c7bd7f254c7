// The COM run-time of Windows: the thread's COM and the scheduler objects it creates.
#include "platform/win/com_adapter_win.h"
#include "platform/win/real_platform_win.h"

namespace runwarden {

namespace v1 = task_scheduler_v1;

HResult WindowsComRuntime::CoInitialize() { return ::CoInitialize(nullptr); }

void WindowsComRuntime::CoUninitialize() { ::CoUninitialize(); }

HResult WindowsComRuntime::CoCreateInstance(const Guid& clsid, CountedObject* outer,
                                            std::uint32_t context, const Guid& iid,
                                            ITaskScheduler** object) {
  *object = nullptr;
  // A portable object cannot be a COM outer object, and only the scheduler interface can
  // stand behind the portable one.
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!(iid == IID_ITaskScheduler)) return E_NOINTERFACE;
  void* created = nullptr;
  const HRESULT result = ::CoCreateInstance(v1::WindowsGuid(clsid), nullptr, context,
                                            v1::WindowsGuid(iid), &created);
  return AdaptTaskScheduler(result, static_cast<v1::ITaskScheduler*>(created), object);
}

HResult WindowsComRuntime::CoCreateInstance(const Guid& clsid, CountedObject* outer,
                                            std::uint32_t context, const Guid& iid,
                                            ITaskService** object) {
  *object = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  if (!(iid == IID_ITaskService)) return E_NOINTERFACE;
  void* created = nullptr;
  const HRESULT result = ::CoCreateInstance(v1::WindowsGuid(clsid), nullptr, context,
                                            v1::WindowsGuid(iid), &created);
  return AdaptTaskService(result, static_cast<::ITaskService*>(created), object);
}

}  // namespace runwarden
