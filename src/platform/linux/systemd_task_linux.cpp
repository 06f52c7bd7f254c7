// The task object of a systemd unit.
#ifndef __linux__
#error "systemd_task_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/systemd_task_linux.h"

#include <utility>

#include "platform/linux/systemd_bus_linux.h"

namespace runwarden {
namespace {

class SystemdTask final : public ITask {
 public:
  SystemdTask(const RunRecord& record, std::string unitName,
              std::shared_ptr<TimerScheduleSource> schedules)
      : record_(record), unitName_(std::move(unitName)), schedules_(std::move(schedules)) {}
  std::uint32_t AddRef() override { return ++count_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --count_;
    if (left == 0) delete this;
    return left;
  }
  HResult GetMostRecentRunTime(SystemTime* lastRun) override {
    *lastRun = LocalSystemTimeOfMicroseconds(record_.lastStart);
    return record_.lastStart == 0 ? kTaskHasNotRun : 0;
  }
  HResult GetExitCode(std::uint32_t* exitCode) override {
    *exitCode = record_.exitCode;
    return record_.lastStart == 0 ? kTaskHasNotRun : 0;
  }
  HResult GetStatus(HResult* status) override {
    if (record_.running.value_or(false)) {
      *status = sched_status::kRunning;
    } else if (record_.schedule) {
      *status = record_.schedule->status;
    } else if (record_.running) {
      *status = sched_status::kReady;
    } else {
      return kValueNotGiven;
    }
    return 0;
  }
  HResult GetNextRunTime(SystemTime* nextRun) override {
    if (!record_.schedule) return kValueNotGiven;
    *nextRun = {};
    if (record_.schedule->status != sched_status::kReady) return record_.schedule->status;
    if (record_.schedule->nextRun == 0) return kValueNotGiven;
    *nextRun = LocalSystemTimeOfMicroseconds(record_.schedule->nextRun);
    return 0;
  }
  HResult GetTimerSchedules(std::vector<TimerSchedule>* schedules) override {
    schedules->clear();
    return schedules_ ? schedules_->Read(unitName_, *schedules) : kValueNotGiven;
  }

 private:
  ~SystemdTask() = default;
  std::uint32_t count_ = 1;
  RunRecord record_;
  std::string unitName_;
  std::shared_ptr<TimerScheduleSource> schedules_;
};

}  // namespace

ITask* NewSystemdTask(const RunRecord& record, std::string unitName,
                      std::shared_ptr<TimerScheduleSource> schedules) {
  return new SystemdTask(record, std::move(unitName), std::move(schedules));
}

}  // namespace runwarden
