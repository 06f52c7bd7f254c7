// The scheduler object on Linux.
#ifndef __linux__
#error "com_runtime_linux.cpp belongs to the Linux build only"
#endif

#include "platform/posix/real_platform_linux.h"

namespace runwarden {

HResult LinuxComRuntime::CoCreateInstance(const Guid&, CountedObject*, std::uint32_t, const Guid&,
                                          ITaskScheduler** object) {
  *object = nullptr;
  return static_cast<HResult>(0x80040154);  // class not registered: no scheduler backend yet
}

}  // namespace runwarden
