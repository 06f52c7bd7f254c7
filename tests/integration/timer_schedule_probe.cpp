// Reads the timer data of tasks through the Linux scheduler objects and prints it, with
// the latest start it gives at the moment of the check, for the end-to-end tests:
//   timer_schedule_probe [--host HOST [--login LOGIN]] [--grace MINUTES] TASK...
// prints for each task "TASK timers N" or "TASK error CODE", then per timer
// "timer NAME zone ZONE", "calendar SPEC" and "monotonic BASE USEC" lines, "delays RANDOM
// ACCURACY", "moments BOOT START ACTIVATED LASTTRIGGER UNITACTIVE UNITINACTIVE", and last
// "start KIND USEC" (KIND: start, not-yet-due, no-time-schedule, unreadable).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/tasks/timer_start.h"
#include "platform/platform.h"

namespace {

using namespace runwarden;

std::u16string Wide(const std::string& text) { return {text.begin(), text.end()}; }

const char* KindName(ScheduledStart::Kind kind) {
  switch (kind) {
    case ScheduledStart::Kind::kStart:
      return "start";
    case ScheduledStart::Kind::kNotYetDue:
      return "not-yet-due";
    case ScheduledStart::Kind::kNoTimeSchedule:
      return "no-time-schedule";
    case ScheduledStart::Kind::kUnreadable:
      break;
  }
  return "unreadable";
}

void Print(const std::vector<TimerSchedule>& timers, std::int64_t graceUsec, Platform& platform) {
  for (const TimerSchedule& t : timers) {
    std::printf("timer %s zone %s\n", t.timer.c_str(), t.zone.empty() ? "-" : t.zone.c_str());
    for (const std::string& event : t.calendar) std::printf("calendar %s\n", event.c_str());
    for (const MonotonicTimer& m : t.monotonic) {
      std::printf("monotonic %s %llu\n", m.base.c_str(), static_cast<unsigned long long>(m.usec));
    }
    std::printf("delays %llu %llu\n", static_cast<unsigned long long>(t.randomizedDelayUsec),
                static_cast<unsigned long long>(t.accuracyUsec));
    std::printf("moments %llu %llu %llu %llu %llu %llu\n",
                static_cast<unsigned long long>(t.bootUsec),
                static_cast<unsigned long long>(t.managerStartUsec),
                static_cast<unsigned long long>(t.activatedUsec),
                static_cast<unsigned long long>(t.lastTriggerUsec),
                static_cast<unsigned long long>(t.unitActivatedUsec),
                static_cast<unsigned long long>(t.unitDeactivatedUsec));
  }
  const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  const ScheduledStart start = LatestTimerStart(timers, now, graceUsec, platform.timeZone);
  std::printf("start %s %lld\n", KindName(start.kind), static_cast<long long>(start.unixUsec));
}

}  // namespace

int main(int argc, char** argv) {
  std::string host, login;
  std::int64_t graceUsec = 0;
  int at = 1;
  for (; at + 1 < argc && std::string(argv[at]).starts_with("--"); at += 2) {
    const std::string key = argv[at];
    if (key == "--host") host = argv[at + 1];
    if (key == "--login") login = argv[at + 1];
    if (key == "--grace") graceUsec = std::stoll(argv[at + 1]) * 60'000'000;
  }
  Platform& platform = RealPlatform();
  platform.com.SetRemoteLogin(login);
  platform.com.SetRemoteTarget(!host.empty());
  platform.com.SetCheckDeadline(std::chrono::steady_clock::now() + std::chrono::seconds(20));
  ITaskScheduler* scheduler = nullptr;
  HResult r = platform.com.CoCreateInstance(CLSID_CTaskScheduler, nullptr,
                                            kClassContextInprocServer, IID_ITaskScheduler,
                                            &scheduler);
  if (r == 0 && !host.empty()) r = scheduler->SetTargetComputer(Wide("\\\\" + host).c_str());
  if (r != 0) {
    std::printf("connect %08X\n", static_cast<unsigned>(r));
    if (scheduler) scheduler->Release();
    return 1;
  }
  for (; at < argc; ++at) {
    ITask* task = nullptr;
    std::vector<TimerSchedule> timers;
    r = scheduler->Activate(Wide(argv[at]).c_str(), IID_ITask, &task);
    if (r == 0) {
      r = task->GetTimerSchedules(&timers);
      task->Release();
    }
    if (r != 0) {
      std::printf("%s error %08X\n", argv[at], static_cast<unsigned>(r));
      continue;
    }
    std::printf("%s timers %zu\n", argv[at], timers.size());
    Print(timers, graceUsec, platform);
  }
  scheduler->Release();
  return 0;
}
