// Benchmark baseline for the Windows build: the Task Scheduler calls of one check and
// nothing else, through the platform SDK's own declarations, so that the time of
// runwarden.exe under Wine can be set against the time these calls take by themselves.
//
//   bare_lookup v1 NAME   1.0: the scheduler object, Activate, the last run and exit code
//   bare_lookup v2 PATH   2.0: the service, Connect, the folder, the task, its last run and
//                         result
//
// Prints the raw values on one line; exits 1 when the task cannot be reached.
#include "platform/win/windows_api_win.h"

#include <mstask.h>
#include <objbase.h>
#include <taskschd.h>

#include "sdk_texts.h"

#include <cstdio>
#include <string>

namespace {

int LookUpV1(const std::wstring& name) {
  ITaskScheduler* scheduler = nullptr;
  if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ITaskScheduler, reinterpret_cast<void**>(&scheduler))))
    return 1;
  IUnknown* item = nullptr;
  const HRESULT activated = scheduler->Activate(name.c_str(), IID_ITask, &item);
  if (SUCCEEDED(activated)) {
    ITask* task = static_cast<ITask*>(item);
    SYSTEMTIME lastRun{};
    DWORD exitCode = 0;
    task->GetMostRecentRunTime(&lastRun);
    task->GetExitCode(&exitCode);
    std::printf("%04u-%02u-%02u %02u:%02u:%02u exit %lu\n", lastRun.wYear, lastRun.wMonth,
                lastRun.wDay, lastRun.wHour, lastRun.wMinute, lastRun.wSecond,
                static_cast<unsigned long>(exitCode));
    task->Release();
  }
  scheduler->Release();
  return SUCCEEDED(activated) ? 0 : 1;
}

int LookUpV2(const std::wstring& path) {
  ITaskService* service = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ITaskService, reinterpret_cast<void**>(&service))))
    return 1;
  const std::size_t last = path.rfind(L'\\');
  const std::wstring folderPath = last == 0 || last == std::wstring::npos ? L"\\" : path.substr(0, last);
  const Bstr folderName(folderPath);
  const Bstr taskName(path.substr(last == std::wstring::npos ? 0 : last + 1));
  ITaskFolder* folder = nullptr;
  IRegisteredTask* task = nullptr;
  HRESULT result = service->Connect(VARIANT{}, VARIANT{}, VARIANT{}, VARIANT{});
  if (SUCCEEDED(result)) result = service->GetFolder(folderName.get(), &folder);
  if (SUCCEEDED(result)) result = folder->GetTask(taskName.get(), &task);
  if (SUCCEEDED(result)) {
    DATE lastRun = 0;
    LONG taskResult = 0;
    const HRESULT ran = task->get_LastRunTime(&lastRun);
    task->get_LastTaskResult(&taskResult);
    std::printf("%08lX %.9f result %08lX\n", static_cast<unsigned long>(ran), lastRun,
                static_cast<unsigned long>(taskResult));
  }
  if (task) task->Release();
  if (folder) folder->Release();
  service->Release();
  return SUCCEEDED(result) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 3 ? argv[1] : "";
  if (mode != "v1" && mode != "v2") {
    std::fprintf(stderr, "usage: bare_lookup v1 NAME | v2 PATH\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 1;
  const int status = mode == "v1" ? LookUpV1(Wide(argv[2])) : LookUpV2(Wide(argv[2]));
  CoUninitialize();
  return status;
}
