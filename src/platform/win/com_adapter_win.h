#pragma once
// What the Task Scheduler adapters share: a real COM object presented as a portable
// interface, its values copied in and back, and the wrapping of what a platform call
// stored. Included only by the files of this folder that adapt COM objects.
#include "platform/win/windows_api_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>

#include <algorithm>
#include <new>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/com_runtime.h"
#include "platform/win/task_scheduler_v1_win.h"

namespace runwarden {

static_assert(sizeof(DWORD) == sizeof(std::uint32_t));
static_assert(sizeof(LONG) == sizeof(std::int32_t));
static_assert(std::is_same_v<DATE, double>);
static_assert(sizeof(wchar_t) == sizeof(char16_t));

// Presents one real COM object as a portable interface. Every AddRef and Release is passed
// on to the real object, so the real object goes when its owner releases its last count;
// the adapter keeps a count of its own only to know when it is no longer needed.
template <class Portable, class Real>
class CountedAdapter : public Portable {
 public:
  // Takes over the one count that the platform call stored with real.
  explicit CountedAdapter(Real* real) : real_(real) {}
  virtual ~CountedAdapter() = default;

  std::uint32_t AddRef() final {
    ++count_;
    return real_->AddRef();
  }

  std::uint32_t Release() final {
    const ULONG remaining = real_->Release();
    if (--count_ == 0) delete this;
    return remaining;
  }

 protected:
  using RealType = Real;  // for pointers to the real object's methods
  Real* real_;

 private:
  std::uint32_t count_ = 1;
};

inline SYSTEMTIME WindowsSystemTime(const SystemTime& time) {
  return {time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
          time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
}

inline SystemTime PortableSystemTime(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth,  time.wDayOfWeek, time.wDay,
          time.wHour, time.wMinute, time.wSecond,    time.wMilliseconds};
}

// Every value a platform call fills is copied in and back, so that what the platform leaves
// untouched comes back unchanged: the method of real is called with a Windows copy of
// *value.
template <class Windows, class Portable, class Real, class Method>
HRESULT CopiedInAndBack(Portable* value, Real* real, Method method) {
  Windows copy = static_cast<Windows>(*value);
  const HRESULT result = (real->*method)(&copy);
  *value = static_cast<Portable>(copy);
  return result;
}

template <class Real, class Method>
HRESULT CopiedInAndBack(SystemTime* value, Real* real, Method method) {
  SYSTEMTIME record = WindowsSystemTime(*value);
  const HRESULT result = (real->*method)(&record);
  *value = PortableSystemTime(record);
  return result;
}

// The run times that a GetRunTimes method of real lists from begin to end: *count asks
// for that many and receives how many were copied out of the array it hands over, which
// is freed here whatever the answer.
template <class WindowsCount, class Count, class Real, class Method>
HRESULT ReadRunTimes(const SystemTime* begin, const SystemTime* end, Count* count,
                     std::vector<SystemTime>* runTimes, Real* real, Method method) {
  SYSTEMTIME first = WindowsSystemTime(*begin);
  SYSTEMTIME last = WindowsSystemTime(*end);
  WindowsCount listed = static_cast<WindowsCount>(*count);
  LPSYSTEMTIME times = nullptr;
  const HRESULT result = (real->*method)(&first, &last, &listed, &times);
  // Never more than were asked for, whatever the count says.
  const Count copied = times ? std::min<Count>(static_cast<Count>(listed), *count) : 0;
  for (Count i = 0; i < copied; ++i) runTimes->push_back(PortableSystemTime(times[i]));
  ::CoTaskMemFree(times);
  *count = copied;
  return result;
}

// A text that a method of real hands over as a BSTR, which is freed here.
template <class Real, class Method>
HRESULT ReadBstr(std::u16string* text, Real* real, Method method) {
  BSTR value = nullptr;
  const HRESULT result = (real->*method)(&value);
  if (value) text->assign(reinterpret_cast<const char16_t*>(value), ::SysStringLen(value));
  ::SysFreeString(value);
  return result;
}

// Wraps what a platform call stored; without memory for the adapter the object is given
// back and the call fails as the platform would.
template <class Adapter, class Portable, class Real>
HResult Adapt(HRESULT result, Real* real, Portable** object) {
  *object = nullptr;
  if (!real) return result;
  Adapter* adapter = new (std::nothrow) Adapter(real);
  if (!adapter) {
    real->Release();
    return E_OUTOFMEMORY;
  }
  *object = adapter;
  return result;
}

// The scheduler objects that CoCreateInstance makes, wrapped as Adapt does.
HResult AdaptTaskScheduler(HRESULT result, task_scheduler_v1::ITaskScheduler* real,
                           ITaskScheduler** object);
HResult AdaptTaskService(HRESULT result, ::ITaskService* real, ITaskService** object);

}  // namespace runwarden
