// Test program for the Windows end-to-end tests: drives the scheduled-task helper over the
// real platform (COM, the Task Scheduler adapters, the name conversion) without the check
// around it, and prints what each step gave in a locale-free form.
//
//   scheduler_probe HOST NAME [state]   HOST empty for the local computer; with state, the
//                                       run state as well, each value or - when not given
#include <cstdio>
#include <string>

#include "core/tasks/sched_tasks_helper.h"
#include "platform/platform.h"

namespace {

using namespace runwarden;

std::string DateText(DateTime value) {
  const DateParts date = SplitDate(value);
  const TimeParts time = SplitTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", date.year, date.month, date.day,
                time.hour, time.minute, time.second);
  return text;
}

void PrintRunState(const TaskRunState& state) {
  static constexpr const char* kSchedule[] = {"scheduled", "disabled", "no next run", "not scheduled"};
  std::printf("running %s\n", state.running ? (*state.running ? "yes" : "no") : "-");
  std::printf("schedule %s\n", state.schedule ? kSchedule[static_cast<int>(*state.schedule)] : "-");
  std::printf("next run %s\n", state.nextRun ? DateText(*state.nextRun).c_str() : "-");
  std::printf("missed %s\n", state.missedRuns ? std::to_string(*state.missedRuns).c_str() : "-");
}

}  // namespace

int main(int argc, char** argv) {
  const bool withState = argc == 4 && std::string(argv[3]) == "state";
  if (argc != 3 && !withState) {
    std::fprintf(stderr, "usage: scheduler_probe HOST NAME [state]\n");
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
        std::printf("last run %s\n", DateText(helper.LastRunTime()).c_str());
      } catch (const Exception& error) {
        std::printf("last run: %s\n", error.Message().c_str());
      }
      std::printf("exit code %u\n", static_cast<unsigned>(helper.LastExitCode()));
      if (withState) PrintRunState(helper.RunState({true, true}));
    }
  }
  platform.com.CoUninitialize();
  return 0;
}
