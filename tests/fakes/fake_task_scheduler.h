#pragma once
// The fake Task Scheduler 1.0 and 2.0 objects that the fake platform hands out, each call
// recorded in the fake's `calls`, each answer the scenario's (fake_task_scheduler.cpp).

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace runwarden::testing {

class FakePlatform;

// What every fake platform object is to the fake that owns it.
class FakeObject {
 public:
  virtual ~FakeObject() = default;
};

// A counted fake object; every AddRef and Release is recorded with the object's name and
// the count after it, and the last Release counts the object as no longer live.
template <class Interface>
class FakeCounted : public Interface, public FakeObject {
 public:
  FakeCounted(FakePlatform& fake, std::string name) : fake_(fake), name_(std::move(name)) {}
  std::uint32_t AddRef() final;
  std::uint32_t Release() final;
  std::uint32_t count = 1;

 protected:
  FakePlatform& fake_;
  std::string name_;
};

class FakeTask final : public FakeCounted<ITask> {
 public:
  using FakeCounted::FakeCounted;
  HResult GetMostRecentRunTime(SystemTime* lastRun) override;
  HResult GetExitCode(std::uint32_t* exitCode) override;
  HResult GetStatus(HResult* status) override;
  HResult GetFlags(std::uint32_t* flags) override;
  HResult GetNextRunTime(SystemTime* nextRun) override;
  HResult GetMostRecentRunUnixTime(std::int64_t* microseconds) override;
  HResult GetLastLogLines(std::uint32_t count, std::vector<std::string>* lines) override;
  HResult GetRunTimes(const SystemTime* begin, const SystemTime* end, std::uint16_t* count,
                      std::vector<SystemTime>* runTimes) override;  // fake_run_times.cpp
  HResult GetTimerSchedules(std::vector<TimerSchedule>* schedules) override;
};

class FakeScheduler final : public FakeCounted<ITaskScheduler> {
 public:
  explicit FakeScheduler(FakePlatform& fake) : FakeCounted(fake, "scheduler") {}
  HResult SetTargetComputer(const char16_t* computer) override;
  HResult Activate(const char16_t* name, const Guid& iid, ITask** item) override;
  HResult Enum(const char16_t* pattern, IEnumWorkItems** items) override;
};

// The 1.0 task list: the names of listedTasks, named "work items" in `calls`.
class FakeWorkItems final : public FakeCounted<IEnumWorkItems> {
 public:
  using FakeCounted::FakeCounted;
  HResult Next(std::uint32_t wanted, std::vector<std::u16string>& names) override;
  bool MatchedByScheduler() override;

 private:
  std::size_t given_ = 0;
};

// Task Scheduler 2.0: named "registered NAME", "folder PATH" and "service" in `calls`.
class FakeRegisteredTask final : public FakeCounted<IRegisteredTask> {
 public:
  using FakeCounted::FakeCounted;
  HResult get_LastRunTime(double* lastRun) override;
  HResult get_LastTaskResult(std::int32_t* result) override;
  HResult get_Name(std::u16string* name) override;
  HResult get_State(std::int32_t* state) override;
  HResult get_Enabled(bool* enabled) override;
  HResult get_NextRunTime(double* nextRun) override;
  HResult get_NumberOfMissedRuns(std::int32_t* missedRuns) override;
  HResult GetRunTimes(const SystemTime* start, const SystemTime* end, std::uint32_t* count,
                      std::vector<SystemTime>* runTimes) override;
  // The name inside its folder, as the per-task answers are keyed.
  std::string TaskName() const;
};

// The tasks of a folder of folderTasks, named "tasks PATH" in `calls`.
class FakeTaskCollection final : public FakeCounted<IRegisteredTaskCollection> {
 public:
  FakeTaskCollection(FakePlatform& fake, std::string name, std::vector<std::string> tasks)
      : FakeCounted(fake, std::move(name)), tasks_(std::move(tasks)) {}
  HResult get_Count(std::int32_t* taskCount) override;
  HResult get_Item(std::int32_t index, IRegisteredTask** task) override;

 private:
  std::vector<std::string> tasks_;
};

class FakeTaskFolder final : public FakeCounted<ITaskFolder> {
 public:
  using FakeCounted::FakeCounted;
  HResult GetTask(std::u16string_view name, IRegisteredTask** task) override;
  HResult GetTasks(std::int32_t flags, IRegisteredTaskCollection** tasks) override;
  HResult get_Name(std::u16string* name) override;
  HResult GetFolders(std::int32_t flags, ITaskFolderCollection** folders) override;
  std::string Path() const;
};

// The folders of a folder of subfolders, named "folders PATH" in `calls`.
class FakeFolderCollection final : public FakeCounted<ITaskFolderCollection> {
 public:
  FakeFolderCollection(FakePlatform& fake, std::string path, std::vector<std::string> folders)
      : FakeCounted(fake, "folders " + path), path_(std::move(path)), folders_(std::move(folders)) {}
  HResult get_Count(std::int32_t* folderCount) override;
  HResult get_Item(std::int32_t index, ITaskFolder** folder) override;

 private:
  std::string path_;
  std::vector<std::string> folders_;
};

class FakeTaskService final : public FakeCounted<ITaskService> {
 public:
  explicit FakeTaskService(FakePlatform& fake) : FakeCounted(fake, "service") {}
  HResult Connect(std::u16string_view serverName, std::u16string_view user,
                  std::u16string_view domain, std::u16string_view password) override;
  HResult GetFolder(std::u16string_view path, ITaskFolder** folder) override;
};

}  // namespace runwarden::testing
