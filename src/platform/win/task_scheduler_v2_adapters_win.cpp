// The Task Scheduler 2.0 objects behind the portable interfaces.
#include "platform/win/com_adapter_win.h"

#include <string_view>

namespace runwarden {
namespace {

// The Task Scheduler 2.0 interfaces as the SDK header declares them, in their published
// vtable order (the four IDispatch methods first).
namespace v2 {
using ::IRegisteredTask;
using ::IRegisteredTaskCollection;
using ::ITaskFolder;
using ::ITaskFolderCollection;
using ::ITaskService;
}  // namespace v2

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

  HResult GetRunTimes(const SystemTime* start, const SystemTime* end, std::uint32_t* count,
                      std::vector<SystemTime>* runTimes) override {
    return ReadRunTimes<DWORD>(start, end, count, runTimes, real_, &RealType::GetRunTimes);
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

HResult AdaptTaskService(HRESULT result, ::ITaskService* real, ITaskService** object) {
  return Adapt<TaskServiceAdapter>(result, real, object);
}

}  // namespace runwarden
