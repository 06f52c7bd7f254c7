// Test program for the Windows end-to-end tests: drives the scheduled-task helper over the
// real platform (COM, the Task Scheduler adapters, the name conversion) without the check
// around it, and prints what each step gave in a locale-free form.
//
//   scheduler_probe HOST NAME      HOST empty for the local computer
#include <cstdio>
#include <string>

#include "core/sched_tasks_helper.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  using namespace runwarden;
  if (argc != 3) {
    std::fprintf(stderr, "usage: scheduler_probe HOST NAME\n");
    return 2;
  }
  Platform& platform = RealPlatform();
  const HResult initialised = platform.com.CoInitialize();
  if (initialised != 0) {
    std::printf("CoInitialize %08X\n", static_cast<unsigned>(initialised));
    return 1;
  }
  {
    TSchedTasksHelper helper(platform.com, platform.wideText);
    if (!helper.Connect(argv[1])) {
      std::printf("connect failed: %s\n", helper.ErrorText().c_str());
    } else if (!helper.OpenTask(argv[2])) {
      std::printf("open failed: %s\n", helper.ErrorText().c_str());
    } else {
      try {
        const DateTime lastRun = helper.LastRunTime();
        const DateParts date = SplitDate(lastRun);
        const TimeParts time = SplitTime(lastRun);
        std::printf("last run %04u-%02u-%02u %02u:%02u:%02u\n", date.year, date.month, date.day,
                    time.hour, time.minute, time.second);
      } catch (const Exception& error) {
        std::printf("last run: %s\n", error.Message().c_str());
      }
      std::printf("exit code %u\n", static_cast<unsigned>(helper.LastExitCode()));
    }
  }
  platform.com.CoUninitialize();
  return 0;
}
