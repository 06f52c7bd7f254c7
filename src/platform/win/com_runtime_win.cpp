// The COM run-time of Windows and the Task Scheduler 1.0 and 2.0 objects behind the
// portable interfaces.
#include "platform/win/windows_api_win.h"

#include <objbase.h>
#include <oleauto.h>
#include <taskschd.h>

#include <algorithm>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/win/real_platform_win.h"
#include "platform/win/task_scheduler_v1_win.h"

namespace runwarden {
namespace {

namespace v1 = task_scheduler_v1;

// The Task Scheduler 2.0 interfaces as the SDK header declares them, in their published
// vtable order (the four IDispatch methods first).
namespace v2 {
using ::IRegisteredTask;
using ::IRegisteredTaskCollection;
using ::ITaskFolder;
using ::ITaskFolderCollection;
using ::ITaskService;
}  // namespace v2

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
  SYSTEMTIME record{value->wYear, value->wMonth,  value->wDayOfWeek, value->wDay,
                    value->wHour, value->wMinute, value->wSecond,    value->wMilliseconds};
  const HRESULT result = (real->*method)(&record);
  *value = {record.wYear, record.wMonth,  record.wDayOfWeek, record.wDay,
            record.wHour, record.wMinute, record.wSecond,    record.wMilliseconds};
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

class TaskAdapter final : public CountedAdapter<ITask, v1::ITask> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult GetMostRecentRunTime(SystemTime* lastRun) override {
    return CopiedInAndBack(lastRun, real_, &RealType::GetMostRecentRunTime);
  }

  HResult GetExitCode(std::uint32_t* exitCode) override {
    return CopiedInAndBack<DWORD>(exitCode, real_, &RealType::GetExitCode);
  }

  HResult GetStatus(HResult* status) override {
    return CopiedInAndBack<HRESULT>(status, real_, &RealType::GetStatus);
  }

  HResult GetFlags(std::uint32_t* flags) override {
    return CopiedInAndBack<DWORD>(flags, real_, &RealType::GetFlags);
  }

  HResult GetNextRunTime(SystemTime* nextRun) override {
    return CopiedInAndBack(nextRun, real_, &RealType::GetNextRunTime);
  }
};

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

// A 1.0 task's file name ends in ".job", in any case, as file names on Windows do.
constexpr std::u16string_view kTaskFileSuffix = u".job";

bool IsTaskFileName(std::u16string_view name) {
  if (name.size() <= kTaskFileSuffix.size()) return false;
  const std::u16string_view suffix = name.substr(name.size() - kTaskFileSuffix.size());
  return std::equal(suffix.begin(), suffix.end(), kTaskFileSuffix.begin(), [](char16_t a, char16_t b) {
    return (a >= u'A' && a <= u'Z' ? static_cast<char16_t>(a - u'A' + u'a') : a) == b;
  });
}

// The names of a 1.0 task list without the ".job" of their file names; the memory that
// Next hands over is freed here, whatever the outcome.
class WorkItemsAdapter final : public CountedAdapter<IEnumWorkItems, v1::IEnumWorkItems> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult Next(std::uint32_t wanted, std::vector<std::u16string>& names) override {
    LPWSTR* fetchedNames = nullptr;
    ULONG fetched = 0;
    const HRESULT result = real_->Next(wanted, &fetchedNames, &fetched);
    if (!fetchedNames) return result;
    for (ULONG i = 0; i < fetched && i < wanted; ++i) {
      std::u16string_view name(reinterpret_cast<const char16_t*>(fetchedNames[i]));
      if (IsTaskFileName(name)) name.remove_suffix(kTaskFileSuffix.size());
      names.emplace_back(name);
    }
    for (ULONG i = 0; i < fetched; ++i) ::CoTaskMemFree(fetchedNames[i]);
    ::CoTaskMemFree(fetchedNames);
    return result;
  }
};

class SchedulerAdapter final : public CountedAdapter<ITaskScheduler, v1::ITaskScheduler> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult SetTargetComputer(const char16_t* computer) override {
    return real_->SetTargetComputer(reinterpret_cast<LPCWSTR>(computer));
  }

  // Only a task can stand behind the portable interface.
  HResult Activate(const char16_t* name, const Guid& iid, ITask** item) override {
    *item = nullptr;
    if (!(iid == IID_ITask)) return E_NOINTERFACE;
    IUnknown* activated = nullptr;
    const HRESULT result = real_->Activate(reinterpret_cast<LPCWSTR>(name), v1::WindowsGuid(iid),
                                           &activated);
    return Adapt<TaskAdapter>(result, static_cast<v1::ITask*>(activated), item);
  }

  // Task Scheduler 1.0 lists every task; the caller matches the names.
  HResult Enum(const char16_t*, IEnumWorkItems** items) override {
    v1::IEnumWorkItems* real = nullptr;
    const HRESULT result = real_->Enum(&real);
    return Adapt<WorkItemsAdapter>(result, real, items);
  }
};

BSTR AllocBstr(std::u16string_view text) {
  return ::SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

// A BSTR copy of a text for the length of one call; none when memory ran out.
class CallBstr {
 public:
  explicit CallBstr(std::u16string_view text) : bstr_(AllocBstr(text)) {}
  CallBstr(const CallBstr&) = delete;
  CallBstr& operator=(const CallBstr&) = delete;
  ~CallBstr() { ::SysFreeString(bstr_); }

  BSTR Get() const { return bstr_; }
  explicit operator bool() const { return bstr_ != nullptr; }

 private:
  BSTR bstr_;
};

// An optional argument for one call: an empty text is an empty VARIANT, any other a BSTR
// VARIANT that this object frees.
class CallVariant {
 public:
  explicit CallVariant(std::u16string_view text) : variant_{} {  // VT_EMPTY
    if (text.empty()) return;
    variant_.bstrVal = AllocBstr(text);
    if (variant_.bstrVal) variant_.vt = VT_BSTR;
    failed_ = !variant_.bstrVal;
  }
  CallVariant(const CallVariant&) = delete;
  CallVariant& operator=(const CallVariant&) = delete;
  ~CallVariant() { ::VariantClear(&variant_); }

  const VARIANT& Get() const { return variant_; }
  bool Failed() const { return failed_; }

 private:
  VARIANT variant_;
  bool failed_ = false;
};

class RegisteredTaskAdapter final : public CountedAdapter<IRegisteredTask, v2::IRegisteredTask> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult get_LastRunTime(double* lastRun) override {
    return CopiedInAndBack<DATE>(lastRun, real_, &RealType::get_LastRunTime);
  }

  HResult get_LastTaskResult(std::int32_t* result) override {
    return CopiedInAndBack<LONG>(result, real_, &RealType::get_LastTaskResult);
  }

  HResult get_Name(std::u16string* name) override {
    return ReadBstr(name, real_, &RealType::get_Name);
  }

  HResult get_State(std::int32_t* state) override {
    return CopiedInAndBack<TASK_STATE>(state, real_, &RealType::get_State);
  }

  HResult get_Enabled(bool* enabled) override {
    VARIANT_BOOL value = *enabled ? VARIANT_TRUE : VARIANT_FALSE;
    const HRESULT result = real_->get_Enabled(&value);
    *enabled = value != VARIANT_FALSE;
    return result;
  }

  HResult get_NextRunTime(double* nextRun) override {
    return CopiedInAndBack<DATE>(nextRun, real_, &RealType::get_NextRunTime);
  }

  HResult get_NumberOfMissedRuns(std::int32_t* missedRuns) override {
    return CopiedInAndBack<LONG>(missedRuns, real_, &RealType::get_NumberOfMissedRuns);
  }
};

// The index of a collection's item, counted from 1.
VARIANT Position(std::int32_t index) {
  VARIANT position{};
  position.vt = VT_I4;
  position.lVal = index;
  return position;
}

class TaskCollectionAdapter final
    : public CountedAdapter<IRegisteredTaskCollection, v2::IRegisteredTaskCollection> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult get_Count(std::int32_t* count) override {
    return CopiedInAndBack<LONG>(count, real_, &RealType::get_Count);
  }

  HResult get_Item(std::int32_t index, IRegisteredTask** task) override {
    *task = nullptr;
    v2::IRegisteredTask* registered = nullptr;
    const HRESULT result = real_->get_Item(Position(index), &registered);
    return Adapt<RegisteredTaskAdapter>(result, registered, task);
  }
};

// The folders of a folder; an item is a TaskFolderAdapter, declared below.
class FolderCollectionAdapter final
    : public CountedAdapter<ITaskFolderCollection, v2::ITaskFolderCollection> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult get_Count(std::int32_t* count) override {
    return CopiedInAndBack<LONG>(count, real_, &RealType::get_Count);
  }

  HResult get_Item(std::int32_t index, ITaskFolder** folder) override;
};

class TaskFolderAdapter final : public CountedAdapter<ITaskFolder, v2::ITaskFolder> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult GetTask(std::u16string_view name, IRegisteredTask** task) override {
    *task = nullptr;
    const CallBstr path(name);
    if (!path) return E_OUTOFMEMORY;
    v2::IRegisteredTask* registered = nullptr;
    const HRESULT result = real_->GetTask(path.Get(), &registered);
    return Adapt<RegisteredTaskAdapter>(result, registered, task);
  }

  HResult GetTasks(std::int32_t flags, IRegisteredTaskCollection** tasks) override {
    *tasks = nullptr;
    v2::IRegisteredTaskCollection* real = nullptr;
    const HRESULT result = real_->GetTasks(flags, &real);
    return Adapt<TaskCollectionAdapter>(result, real, tasks);
  }

  HResult get_Name(std::u16string* name) override {
    return ReadBstr(name, real_, &RealType::get_Name);
  }

  HResult GetFolders(std::int32_t flags, ITaskFolderCollection** folders) override {
    *folders = nullptr;
    v2::ITaskFolderCollection* real = nullptr;
    const HRESULT result = real_->GetFolders(flags, &real);
    return Adapt<FolderCollectionAdapter>(result, real, folders);
  }
};

HResult FolderCollectionAdapter::get_Item(std::int32_t index, ITaskFolder** folder) {
  *folder = nullptr;
  v2::ITaskFolder* real = nullptr;
  const HRESULT result = real_->get_Item(Position(index), &real);
  return Adapt<TaskFolderAdapter>(result, real, folder);
}

class TaskServiceAdapter final : public CountedAdapter<ITaskService, v2::ITaskService> {
 public:
  using CountedAdapter::CountedAdapter;

  HResult Connect(std::u16string_view serverName, std::u16string_view user,
                  std::u16string_view domain, std::u16string_view password) override {
    const CallVariant server(serverName), account(user), accountDomain(domain), secret(password);
    if (server.Failed() || account.Failed() || accountDomain.Failed() || secret.Failed())
      return E_OUTOFMEMORY;
    return real_->Connect(server.Get(), account.Get(), accountDomain.Get(), secret.Get());
  }

  HResult GetFolder(std::u16string_view path, ITaskFolder** folder) override {
    *folder = nullptr;
    const CallBstr folderPath(path);
    if (!folderPath) return E_OUTOFMEMORY;
    v2::ITaskFolder* real = nullptr;
    const HRESULT result = real_->GetFolder(folderPath.Get(), &real);
    return Adapt<TaskFolderAdapter>(result, real, folder);
  }
};

}  // namespace

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
  return Adapt<SchedulerAdapter>(result, static_cast<v1::ITaskScheduler*>(created), object);
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
  return Adapt<TaskServiceAdapter>(result, static_cast<v2::ITaskService*>(created), object);
}

}  // namespace runwarden
