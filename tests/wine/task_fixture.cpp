// Test fixture for the Windows end-to-end tests: makes a Task Scheduler 1.0 task and gives
// it a recorded last run, or registers a Task Scheduler 2.0 task, independently of the
// program under test (it uses the platform SDK's own interface declarations).
//
//   task_fixture NAME never                                 a task that has never run
//   task_fixture NAME EXITCODE YEAR MONTH DAY HOUR MIN SEC [KEY=VALUE...]
//                                                           last run at that local time
//   task_fixture --v2 PATH [disabled]                       a 2.0 task, e.g. \Backup\Nightly
//   task_fixture --v2-xml PATH XMLFILE                      a 2.0 task of that task XML
//   task_fixture --start COMMAND ARGUMENTS                  a task's program, see below
//
// The keys of a 1.0 task with a last run: status=S (the scheduler status, ready when not
// given), flags=F (the task's flags), instances=N (running instances), daily=H:M (a daily
// trigger at that local time, from today; else only the disabled trigger that every saved
// task gets). Numbers in C notation (0x41301).
//
// The 1.0 task is saved through IPersistFile, with its trigger; its recorded state is then
// written into the fixed-length section of the saved .job file, which the scheduler reads
// back. The 2.0 task is registered from task XML (UTF-8) in its folder, which is made first,
// level by level; a disabled one has Enabled false in its settings.
// Wine's scheduler neither runs 2.0 tasks nor keeps their program actions, so --start
// starts the Command and Arguments of a task's Exec action as the Task Scheduler does:
// environment variables expanded, the path quoted unless it is already, the arguments after
// a blank, in the scheduler's own folder; it waits at most 60 seconds and exits with the
// program's exit status.
#include "platform/win/windows_api_win.h"

#include <mstask.h>
#include <objbase.h>
#include <taskschd.h>

#include "sdk_texts.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The fixed-length section of a .job file.
constexpr DWORD kExitCodeOffset = 0x28;  // u32
constexpr DWORD kStatusOffset = 0x2C;    // u32
constexpr DWORD kFlagsOffset = 0x30;     // u32
constexpr DWORD kLastRunOffset = 0x34;   // SYSTEMTIME
constexpr DWORD kInstancesOffset = 0x44;  // u16, running instances
constexpr DWORD kStatusReady = 0x00041300;

// The recorded state a 1.0 task gets besides its last run and exit code.
struct RecordedState {
  DWORD status = kStatusReady;
  bool setFlags = false;
  DWORD flags = 0;
  WORD instances = 0;
  bool daily = false;
  WORD dailyHour = 0, dailyMinute = 0;
};

bool ReadState(const std::string& argument, RecordedState& state) {
  const std::size_t equals = argument.find('=');
  if (equals == std::string::npos) return false;
  const std::string key = argument.substr(0, equals);
  const char* value = argument.c_str() + equals + 1;
  const auto number = [value] { return std::strtoul(value, nullptr, 0); };
  if (key == "status") {
    state.status = static_cast<DWORD>(number());
  } else if (key == "flags") {
    state.setFlags = true;
    state.flags = static_cast<DWORD>(number());
  } else if (key == "instances") {
    state.instances = static_cast<WORD>(number());
  } else if (key == "daily") {
    unsigned hour = 0, minute = 0;
    if (std::sscanf(value, "%u:%u", &hour, &minute) != 2 || hour > 23 || minute > 59) return false;
    state.daily = true;
    state.dailyHour = static_cast<WORD>(hour);
    state.dailyMinute = static_cast<WORD>(minute);
  } else {
    return false;
  }
  return true;
}

// A daily trigger at that local time, from today on.
HRESULT AddDailyTrigger(ITask* task, const RecordedState& state) {
  WORD index = 0;
  ITaskTrigger* trigger = nullptr;
  HRESULT result = task->CreateTrigger(&index, &trigger);
  if (FAILED(result)) return result;
  SYSTEMTIME today{};
  GetLocalTime(&today);
  TASK_TRIGGER daily{};
  daily.cbTriggerSize = sizeof daily;
  daily.wBeginYear = today.wYear;
  daily.wBeginMonth = today.wMonth;
  daily.wBeginDay = today.wDay;
  daily.wStartHour = state.dailyHour;
  daily.wStartMinute = state.dailyMinute;
  daily.TriggerType = TASK_TIME_TRIGGER_DAILY;
  daily.Type.Daily.DaysInterval = 1;
  result = trigger->SetTrigger(&daily);
  trigger->Release();
  return result;
}

int Fail(const char* step, HRESULT result) {
  std::fprintf(stderr, "task_fixture: %s failed: %08lX\n", step, static_cast<unsigned long>(result));
  return 1;
}

bool WriteAt(HANDLE file, DWORD offset, const void* data, DWORD size) {
  DWORD written = 0;
  return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == offset &&
         WriteFile(file, data, size, &written, nullptr) && written == size;
}

// Saves a new task of that name, replacing an earlier one; returns the file it went to.
HRESULT SaveNewTask(ITaskScheduler* scheduler, const std::wstring& name, const RecordedState& state,
                    std::wstring& path) {
  scheduler->Delete(name.c_str());
  IUnknown* item = nullptr;
  HRESULT result = scheduler->NewWorkItem(name.c_str(), CLSID_CTask, IID_ITask, &item);
  if (FAILED(result)) return result;
  ITask* task = static_cast<ITask*>(item);
  task->SetApplicationName(L"C:\\windows\\system32\\cmd.exe");
  if (state.daily) result = AddDailyTrigger(task, state);
  IPersistFile* file = nullptr;
  if (SUCCEEDED(result))
    result = task->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) {
    result = file->Save(nullptr, TRUE);
    LPOLESTR saved = nullptr;
    if (SUCCEEDED(result)) result = file->GetCurFile(&saved);
    if (SUCCEEDED(result)) {
      path = saved;
      CoTaskMemFree(saved);
    }
    file->Release();
  }
  task->Release();
  return result;
}

// One trigger far ahead and one program: enough for the scheduler to keep the task.
std::wstring TaskXml(bool enabled) {
  return std::wstring(
             L"<?xml version=\"1.0\"?>"
             L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
             L"<Triggers><TimeTrigger><StartBoundary>2099-01-01T00:00:00</StartBoundary></TimeTrigger>"
             L"</Triggers>") +
         (enabled ? L"" : L"<Settings><Enabled>false</Enabled></Settings>") +
         L"<Actions><Exec><Command>C:\\windows\\system32\\cmd.exe</Command></Exec></Actions></Task>";
}

// The folder of that task path, each missing level made from the root.
HRESULT OpenFolder(ITaskService* service, const std::wstring& path, ITaskFolder** folder) {
  ITaskFolder* root = nullptr;
  HRESULT result = service->GetFolder(Bstr(L"\\").get(), &root);
  if (FAILED(result)) return result;
  root->AddRef();
  *folder = root;
  for (std::size_t end = path.find(L'\\', 1); SUCCEEDED(result) && end != std::wstring::npos;
       end = path.find(L'\\', end + 1)) {
    (*folder)->Release();
    *folder = nullptr;
    const Bstr level(path.substr(0, end));
    result = service->GetFolder(level.get(), folder);
    if (FAILED(result)) result = root->CreateFolder(level.get(), VARIANT{}, folder);
  }
  root->Release();
  return result;
}

int RegisterV2Task(const std::wstring& path, const std::wstring& xml) {
  ITaskService* service = nullptr;
  HRESULT result = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_ITaskService, reinterpret_cast<void**>(&service));
  if (FAILED(result)) return Fail("CoCreateInstance of the 2.0 scheduler", result);
  result = service->Connect(VARIANT{}, VARIANT{}, VARIANT{}, VARIANT{});
  ITaskFolder* folder = nullptr;
  if (SUCCEEDED(result)) result = OpenFolder(service, path, &folder);
  if (SUCCEEDED(result)) {
    IRegisteredTask* task = nullptr;
    result = folder->RegisterTask(Bstr(path.substr(path.rfind(L'\\') + 1)).get(),
                                  Bstr(xml).get(), TASK_CREATE_OR_UPDATE, VARIANT{},
                                  VARIANT{}, TASK_LOGON_NONE, VARIANT{}, &task);
    if (task) task->Release();
    folder->Release();
  }
  service->Release();
  return FAILED(result) ? Fail("registering the 2.0 task", result) : 0;
}

// A file's UTF-8 text as UTF-16; false when it cannot be read or is no UTF-8.
bool ReadUtf8File(const char* name, std::wstring& text) {
  std::ifstream file(name, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (!file.good() && !file.eof()) return false;
  const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                        static_cast<int>(bytes.size()), nullptr, 0);
  if (units <= 0 && !bytes.empty()) return false;
  text.assign(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
  return true;
}

std::wstring Expanded(const std::wstring& text) {
  const DWORD units = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  std::wstring expanded(units, L'\0');
  ExpandEnvironmentStringsW(text.c_str(), expanded.data(), units);
  expanded.resize(units > 0 ? units - 1 : 0);
  return expanded;
}

int StartAction(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = Expanded(program);
  if (commandLine.empty() || commandLine.front() != L'"') commandLine = L'"' + commandLine + L'"';
  if (!arguments.empty()) commandLine += L' ' + Expanded(arguments);

  wchar_t systemFolder[MAX_PATH] = L"";
  GetSystemDirectoryW(systemFolder, MAX_PATH);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      systemFolder, &startup, &process))
    return Fail("starting the task's program", HRESULT_FROM_WIN32(GetLastError()));
  DWORD status = 1;
  if (WaitForSingleObject(process.hProcess, 60'000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &status);
  } else {
    TerminateProcess(process.hProcess, 1);
    Fail("waiting for the task's program", HRESULT_FROM_WIN32(WAIT_TIMEOUT));
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--start" && argc == 4) return StartAction(Wide(argv[2]), Wide(argv[3]));
  const bool disabled = mode == "--v2" && argc == 4 && std::string(argv[3]) == "disabled";
  if ((mode == "--v2" && (argc == 3 || disabled)) || (mode == "--v2-xml" && argc == 4)) {
    std::wstring xml = TaskXml(!disabled);
    if (mode == "--v2-xml" && !ReadUtf8File(argv[3], xml)) {
      return Fail("reading the task XML", E_INVALIDARG);
    }
    if (FAILED(CoInitialize(nullptr))) return Fail("CoInitialize", E_FAIL);
    std::wstring path = Wide(argv[2]);
    if (path.empty() || path[0] != L'\\') path.insert(0, 1, L'\\');
    const int status = RegisterV2Task(path, xml);
    CoUninitialize();
    return status;
  }
  const bool never = argc == 3 && std::string(argv[2]) == "never";
  RecordedState state;
  bool usable = never || argc >= 9;
  for (int i = 9; usable && i < argc; ++i) usable = ReadState(argv[i], state);
  if (!usable) {
    std::fprintf(stderr, "usage: task_fixture NAME never | NAME EXITCODE Y M D h m s [KEY=VALUE...]\n");
    return 2;
  }
  HRESULT result = CoInitialize(nullptr);
  if (FAILED(result)) return Fail("CoInitialize", result);
  ITaskScheduler* scheduler = nullptr;
  result = CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER,
                            IID_ITaskScheduler, reinterpret_cast<void**>(&scheduler));
  if (FAILED(result)) return Fail("CoCreateInstance", result);
  std::wstring path;
  result = SaveNewTask(scheduler, Wide(argv[1]), state, path);
  scheduler->Release();
  CoUninitialize();
  if (FAILED(result)) return Fail("saving the task", result);
  if (never) return 0;

  const DWORD exitCode = static_cast<DWORD>(std::strtoul(argv[2], nullptr, 0));
  SYSTEMTIME lastRun{};
  lastRun.wYear = static_cast<WORD>(std::atoi(argv[3]));
  lastRun.wMonth = static_cast<WORD>(std::atoi(argv[4]));
  lastRun.wDay = static_cast<WORD>(std::atoi(argv[5]));
  lastRun.wHour = static_cast<WORD>(std::atoi(argv[6]));
  lastRun.wMinute = static_cast<WORD>(std::atoi(argv[7]));
  lastRun.wSecond = static_cast<WORD>(std::atoi(argv[8]));
  FILETIME asFileTime{};
  // The round trip fills in the day of the week.
  if (!SystemTimeToFileTime(&lastRun, &asFileTime) || !FileTimeToSystemTime(&asFileTime, &lastRun))
    return Fail("checking the run time", E_INVALIDARG);

  // The scheduler service reads a task file as soon as it changes; wait for it.
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 50 && file == INVALID_HANDLE_VALUE; ++attempt) {
    file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION) break;
    if (file == INVALID_HANDLE_VALUE) Sleep(100);
  }
  if (file == INVALID_HANDLE_VALUE)
    return Fail("opening the task file", HRESULT_FROM_WIN32(GetLastError()));
  const bool written = WriteAt(file, kExitCodeOffset, &exitCode, sizeof exitCode) &&
                       WriteAt(file, kStatusOffset, &state.status, sizeof state.status) &&
                       (!state.setFlags || WriteAt(file, kFlagsOffset, &state.flags, sizeof state.flags)) &&
                       WriteAt(file, kLastRunOffset, &lastRun, sizeof lastRun) &&
                       WriteAt(file, kInstancesOffset, &state.instances, sizeof state.instances);
  CloseHandle(file);
  return written ? 0 : Fail("writing the task file", E_FAIL);
}
