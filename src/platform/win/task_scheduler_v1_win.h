#pragma once
// The Task Scheduler 1.0 COM interfaces as Windows lays them out. The real scheduler
// objects are called through these declarations, so every method stands in its vtable
// slot in the platform's order, also the many the program never calls. They live in their
// own namespace, apart from the portable interfaces of the same names.

#ifndef _WIN32
#error "task_scheduler_v1_win.h belongs to the Windows build only"
#endif

#include "platform/win/windows_api_win.h"

#include <objbase.h>

#include "platform/com_runtime.h"

namespace runwarden::task_scheduler_v1 {

// Only pointers to these pass through methods the program never calls.
struct ITaskTrigger;

// The portable GUID record in the Windows layout; the one place the two meet.
inline ::GUID WindowsGuid(const Guid& guid) {
  ::GUID windows{};
  windows.Data1 = guid.Data1;
  windows.Data2 = guid.Data2;
  windows.Data3 = guid.Data3;
  for (int i = 0; i < 8; ++i) windows.Data4[i] = guid.Data4[i];
  return windows;
}

// COM objects end through their own Release, never through delete, so IUnknown has no
// virtual destructor; the protected destructors below keep it that way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

struct IScheduledWorkItem : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateTrigger(WORD* newTrigger, ITaskTrigger** trigger) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeleteTrigger(WORD trigger) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTriggerCount(WORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTrigger(WORD index, ITaskTrigger** trigger) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTriggerString(WORD index, LPWSTR* text) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRunTimes(const LPSYSTEMTIME begin, const LPSYSTEMTIME end,
                                                WORD* count, LPSYSTEMTIME* times) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNextRunTime(SYSTEMTIME* nextRun) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIdleWait(WORD idleMinutes, WORD deadlineMinutes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIdleWait(WORD* idleMinutes, WORD* deadlineMinutes) = 0;
  virtual HRESULT STDMETHODCALLTYPE Run() = 0;
  virtual HRESULT STDMETHODCALLTYPE Terminate() = 0;
  virtual HRESULT STDMETHODCALLTYPE EditWorkItem(HWND parent, DWORD reserved) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMostRecentRunTime(SYSTEMTIME* lastRun) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetStatus(HRESULT* status) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetExitCode(DWORD* exitCode) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetComment(LPCWSTR comment) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetComment(LPWSTR* comment) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetCreator(LPCWSTR creator) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCreator(LPWSTR* creator) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWorkItemData(WORD size, BYTE* data) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWorkItemData(WORD* size, BYTE** data) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetErrorRetryCount(WORD count) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetErrorRetryCount(WORD* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetErrorRetryInterval(WORD minutes) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetErrorRetryInterval(WORD* minutes) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetFlags(DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFlags(DWORD* flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetAccountInformation(LPCWSTR account, LPCWSTR password) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetAccountInformation(LPWSTR* account) = 0;

 protected:
  ~IScheduledWorkItem() = default;
};

struct ITask : public IScheduledWorkItem {
  virtual HRESULT STDMETHODCALLTYPE SetApplicationName(LPCWSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetApplicationName(LPWSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParameters(LPCWSTR parameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetParameters(LPWSTR* parameters) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR directory) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR* directory) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetPriority(DWORD priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPriority(DWORD* priority) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetTaskFlags(DWORD flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTaskFlags(DWORD* flags) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMaxRunTime(DWORD milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaxRunTime(DWORD* milliseconds) = 0;

 protected:
  ~ITask() = default;
};

// The task list of ITaskScheduler::Enum: each name is the task's file name ("Backup.job"),
// every name and the array that holds them allocated with CoTaskMemAlloc.
struct IEnumWorkItems : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG wanted, LPWSTR** names, ULONG* fetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IEnumWorkItems** items) = 0;

 protected:
  ~IEnumWorkItems() = default;
};

struct ITaskScheduler : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetTargetComputer(LPCWSTR computer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTargetComputer(LPWSTR* computer) = 0;
  virtual HRESULT STDMETHODCALLTYPE Enum(IEnumWorkItems** items) = 0;
  virtual HRESULT STDMETHODCALLTYPE Activate(LPCWSTR name, REFIID iid, IUnknown** item) = 0;
  virtual HRESULT STDMETHODCALLTYPE Delete(LPCWSTR name) = 0;
  virtual HRESULT STDMETHODCALLTYPE NewWorkItem(LPCWSTR name, REFCLSID clsid, REFIID iid,
                                                IUnknown** item) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddWorkItem(LPCWSTR name, IScheduledWorkItem* item) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsOfType(LPCWSTR name, REFIID iid) = 0;

 protected:
  ~ITaskScheduler() = default;
};

#pragma GCC diagnostic pop

}  // namespace runwarden::task_scheduler_v1
