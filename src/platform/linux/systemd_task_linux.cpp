// The task object of a systemd unit.
#ifndef __linux__
#error "systemd_task_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/systemd_task_linux.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/linux/systemd_bus_linux.h"

namespace runwarden {
namespace {

class SystemdTask final : public ITask {
 public:
  SystemdTask(const RunRecord& record, std::string unitName, std::shared_ptr<UnitJournal> journal,
              std::shared_ptr<TimerScheduleSource> schedules)
      : record_(record),
        unitName_(std::move(unitName)),
        journal_(std::move(journal)),
        schedules_(std::move(schedules)) {}
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
  // The manager's own instant, which no daylight-saving change makes ambiguous.
  HResult GetMostRecentRunUnixTime(std::int64_t* microseconds) override {
    if (record_.lastStart == 0) return kTaskHasNotRun;
    if (record_.lastStart > static_cast<std::uint64_t>(INT64_MAX)) return kValueNotGiven;  // infinity
    *microseconds = static_cast<std::int64_t>(record_.lastStart);
    return 0;
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
  HResult GetLastLogLines(std::uint32_t count, std::vector<std::string>* lines) override {
    lines->clear();
    if (journal_ == nullptr || record_.service.empty()) return kValueNotGiven;
    const auto& run = journal_->LastRun(record_.service);
    if (!run) return 0;
    const std::size_t taken = std::min<std::size_t>(count, run->lines.size());
    lines->assign(run->lines.end() - static_cast<std::ptrdiff_t>(taken), run->lines.end());
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
  std::shared_ptr<UnitJournal> journal_;
  std::shared_ptr<TimerScheduleSource> schedules_;
};

}  // namespace

ITask* NewSystemdTask(const RunRecord& record, std::string unitName,
                      std::shared_ptr<UnitJournal> journal,
                      std::shared_ptr<TimerScheduleSource> schedules) {
  return new SystemdTask(record, std::move(unitName), std::move(journal), std::move(schedules));
}

}  // namespace runwarden
