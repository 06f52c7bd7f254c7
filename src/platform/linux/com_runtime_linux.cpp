// The scheduler object on Linux: a connection to a systemd manager.
#ifndef __linux__
#error "com_runtime_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/real_platform_linux.h"
#include "platform/linux/systemd_bus_linux.h"
#include "platform/linux/systemd_scheduler_linux.h"

namespace runwarden {

HResult LinuxComRuntime::CoCreateInstance(const Guid& clsid, CountedObject*, std::uint32_t,
                                          const Guid& iid, ITaskScheduler** object) {
  *object = nullptr;
  if (clsid != CLSID_CTaskScheduler) return kClassNotRegistered;
  if (iid != IID_ITaskScheduler) return kNoInterface;
  return CreateSystemdScheduler({remoteLogin_, userManager_}, !remoteTarget_, checkDeadline_,
                                values_, object);
}

HResult LinuxComRuntime::CoCreateInstance(const Guid&, CountedObject*, std::uint32_t, const Guid&,
                                          ITaskService** object) {
  *object = nullptr;
  return kClassNotRegistered;
}

}  // namespace runwarden
