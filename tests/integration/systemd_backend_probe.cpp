// Drives the scheduled-task helper against the real Linux scheduler backend and prints
// what it read, so that tests can compare it with the manager's own view:
//   systemd_backend_probe TASK [HOST [LOGIN]]
// prints "YYYY-MM-DD HH:MM:SS.mmm EXITCODE", or the helper's error text; exit status 0 when
// the task was read, 1 when Connect or OpenTask failed, 2 on an error of the run.
//   systemd_backend_probe --list PATTERN [HOST [LOGIN]]
// lists the tasks through the scheduler object's Enum, then opens each listed name and
// prints "NAME YYYY-MM-DD HH:MM:SS.mmm EXITCODE" (codes in hex for a task that never ran
// or could not be opened, "NAME Activate CODE"); "Enum CODE" or "Next CODE" when the list
// failed (exit status 1).
//   systemd_backend_probe --deadline MS ...
// gives the scheduler objects a deadline MS milliseconds from the start (SetCheckDeadline)
// before either of the above.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/tasks/sched_tasks_helper.h"
#include "platform/platform.h"

namespace {

using namespace runwarden;

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

int List(Platform& platform, const std::string& pattern, const std::string& host) {
  ITaskScheduler* scheduler = nullptr;
  HResult r = platform.com.CoCreateInstance(CLSID_CTaskScheduler, nullptr,
                                            kClassContextInprocServer, IID_ITaskScheduler,
                                            &scheduler);
  if (r != 0) {
    std::printf("CoCreateInstance %08X\n", static_cast<unsigned>(r));
    return 1;
  }
  if (!host.empty() && (r = scheduler->SetTargetComputer(Wide("\\\\" + host).c_str())) != 0) {
    std::printf("SetTargetComputer %08X\n", static_cast<unsigned>(r));
    scheduler->Release();
    return 1;
  }
  IEnumWorkItems* items = nullptr;
  if ((r = scheduler->Enum(Wide(pattern).c_str(), &items)) != 0) {
    std::printf("Enum %08X\n", static_cast<unsigned>(r));
    scheduler->Release();
    return 1;
  }
  std::vector<std::u16string> names;
  while ((r = items->Next(64, names)) == 0) {}
  items->Release();
  if (r != kFalse) {
    std::printf("Next %08X\n", static_cast<unsigned>(r));
    scheduler->Release();
    return 1;
  }
  for (const std::u16string& name : names) {
    const std::string narrow(name.begin(), name.end());  // unit names are ASCII
    ITask* task = nullptr;
    if ((r = scheduler->Activate(name.c_str(), IID_ITask, &task)) != 0) {
      std::printf("%s Activate %08X\n", narrow.c_str(), static_cast<unsigned>(r));
      continue;
    }
    SystemTime t{};
    std::uint32_t exitCode = 0;
    const HResult timeResult = task->GetMostRecentRunTime(&t);
    const HResult codeResult = task->GetExitCode(&exitCode);
    task->Release();
    if (timeResult != 0 || codeResult != 0) {
      std::printf("%s %08X %08X\n", narrow.c_str(), static_cast<unsigned>(timeResult),
                  static_cast<unsigned>(codeResult));
      continue;
    }
    std::printf("%s %04u-%02u-%02u %02u:%02u:%02u.%03u %u\n", narrow.c_str(), t.wYear, t.wMonth,
                t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, exitCode);
  }
  scheduler->Release();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Platform& platform = RealPlatform();
  if (argc >= 3 && std::strcmp(argv[1], "--deadline") == 0) {
    platform.com.SetCheckDeadline(std::chrono::steady_clock::now() +
                                  std::chrono::milliseconds(std::atol(argv[2])));
    argc -= 2, argv += 2;
  }
  const bool list = argc >= 2 && std::strcmp(argv[1], "--list") == 0;
  if (list) --argc, ++argv;
  if (argc < 2 || argc > 4) {
    std::fputs("usage: systemd_backend_probe [--deadline MS] [--list] TASK [HOST [LOGIN]]\n",
               stderr);
    return 2;
  }
  if (argc == 4) platform.com.SetRemoteLogin(argv[3]);
  platform.com.SetRemoteTarget(argc >= 3);
  if (list) return List(platform, argv[1], argc >= 3 ? argv[2] : "");
  TSchedTasksHelper helper(platform.com, platform.wideText);
  const std::string host = argc >= 3 ? std::string("\\\\") + argv[2] : "";
  if (!helper.Connect(host) || !helper.OpenTask(argv[1])) {
    std::printf("%s\n", helper.ErrorText().c_str());
    return 1;
  }
  try {
    const DateTime lastRun = helper.LastRunTime();
    const DateParts date = SplitDate(lastRun);
    const TimeParts time = SplitTime(lastRun);
    std::printf("%04u-%02u-%02u %02u:%02u:%02u.%03u %u\n", date.year, date.month, date.day,
                time.hour, time.minute, time.second, time.millisecond, helper.LastExitCode());
  } catch (const Exception& error) {
    std::printf("%s\n", error.Message().c_str());
    return 2;
  }
  return 0;
}
