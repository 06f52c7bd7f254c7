// Drives the scheduled-task helper against the real Linux scheduler backend and prints
// what it read, so that tests can compare it with the manager's own view:
//   systemd_backend_probe TASK [HOST [LOGIN]]
// prints "YYYY-MM-DD HH:MM:SS.mmm EXITCODE", or the helper's error text; exit status 0 when
// the task was read, 1 when Connect or OpenTask failed, 2 on an error of the run.
#include <cstdio>
#include <string>

#include "core/sched_tasks_helper.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  using namespace runwarden;
  if (argc < 2 || argc > 4) {
    std::fputs("usage: systemd_backend_probe TASK [HOST [LOGIN]]\n", stderr);
    return 2;
  }
  Platform& platform = RealPlatform();
  if (argc == 4) platform.com.SetRemoteLogin(argv[3]);
  platform.com.SetRemoteTarget(argc >= 3);
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
