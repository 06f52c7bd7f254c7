// The Task Scheduler 1.0 objects behind the portable interfaces.
#include "platform/win/com_adapter_win.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace runwarden {
namespace {

namespace v1 = task_scheduler_v1;

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

  HResult GetRunTimes(const SystemTime* begin, const SystemTime* end, std::uint16_t* count,
                      std::vector<SystemTime>* runTimes) override {
    return ReadRunTimes<WORD>(begin, end, count, runTimes, real_, &RealType::GetRunTimes);
  }
};

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

}  // namespace

HResult AdaptTaskScheduler(HRESULT result, v1::ITaskScheduler* real, ITaskScheduler** object) {
  return Adapt<SchedulerAdapter>(result, real, object);
}

}  // namespace runwarden
