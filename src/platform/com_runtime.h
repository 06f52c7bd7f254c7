#pragma once
// The COM run-time and the Task Scheduler 1.0 and 2.0 objects that the scheduled-task
// helper uses, reduced to the operations the helper calls. The arguments and result codes
// are those of the Windows interfaces; on Windows the objects are the real COM objects
// behind a thin adapter, elsewhere another scheduler stands behind them.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system_time.h"
#include "platform/timer_schedule.h"

namespace runwarden {

// A COM result: only 0 counts as success here, positive codes included among failures.
using HResult = std::int32_t;

struct Guid {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
  friend bool operator==(const Guid&, const Guid&) = default;
};

inline constexpr std::uint32_t kClassContextInprocServer = 1;

inline constexpr Guid CLSID_CTaskScheduler = {
    0x148BD52A, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
inline constexpr Guid IID_ITaskScheduler = {
    0x148BD527, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};
inline constexpr Guid IID_ITask = {
    0x148BD524, 0xA2AB, 0x11CE, {0xB1, 0x1F, 0x00, 0xAA, 0x00, 0x53, 0x05, 0x03}};

// Task Scheduler 2.0.
inline constexpr Guid CLSID_TaskScheduler = {
    0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
inline constexpr Guid IID_ITaskService = {
    0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};

// A reference-counted object; Release of the last count destroys it.
class CountedObject {
 public:
  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;

 protected:
  ~CountedObject() = default;
};

// E_NOTIMPL: the answer, without a value, of an operation whose value the scheduler behind
// the interface does not give. The operations added after the first ones answer it unless
// a platform gives the value, so that a platform without it needs no change.
inline constexpr HResult kValueNotGiven = static_cast<HResult>(0x80004001);

// Scheduler statuses of a task (SCHED_S_*), as 1.0 GetStatus and GetNextRunTime and 2.0
// LastTaskResult give them.
namespace sched_status {
inline constexpr HResult kReady = 0x00041300;
inline constexpr HResult kRunning = 0x00041301;
inline constexpr HResult kDisabled = 0x00041302;
inline constexpr HResult kHasNotRun = 0x00041303;
inline constexpr HResult kNoMoreRuns = 0x00041304;
inline constexpr HResult kNotScheduled = 0x00041305;
inline constexpr HResult kNoValidTriggers = 0x00041307;
inline constexpr HResult kEventTrigger = 0x00041308;  // only triggers without a time
}  // namespace sched_status

// TASK_MAX_RUN_TIMES: the most starts that one 1.0 GetRunTimes call lists.
inline constexpr std::uint16_t kMaxRunTimes = 1440;

// TASK_FLAG_DISABLED of a 1.0 task's flags.
inline constexpr std::uint32_t kTaskFlagDisabled = 0x4;

// A scheduled work item (ITask through IScheduledWorkItem).
class ITask : public CountedObject {
 public:
  virtual HResult GetMostRecentRunTime(SystemTime* lastRun) = 0;
  virtual HResult GetExitCode(std::uint32_t* exitCode) = 0;
  // The task's status now: sched_status::kRunning while an instance runs, else kReady or
  // a status of why it will not run.
  virtual HResult GetStatus(HResult* /*status*/) { return kValueNotGiven; }
  // The TASK_FLAG_* bits.
  virtual HResult GetFlags(std::uint32_t* /*flags*/) { return kValueNotGiven; }
  // The next scheduled run in the addressed computer's local time (0), or a status of why
  // there is none (kDisabled, kNoValidTriggers, kEventTrigger, ...) with an all-zero record.
  virtual HResult GetNextRunTime(SystemTime* /*nextRun*/) { return kValueNotGiven; }
  // The most recent run in microseconds since 1970-01-01 00:00 UTC, where the scheduler
  // keeps that instant itself (systemd); Windows keeps local time only and does not give it.
  virtual HResult GetMostRecentRunUnixTime(std::int64_t* /*microseconds*/) {
    return kValueNotGiven;
  }
  // Up to count of the last lines that the task's last run wrote, oldest first, in UTF-8
  // (Linux: from the journal). Windows keeps no such lines for a task.
  virtual HResult GetLastLogLines(std::uint32_t /*count*/, std::vector<std::string>* /*lines*/) {
    return kValueNotGiven;
  }
  // The starts that the schedule gives from begin (included) to end (excluded), both in
  // the addressed computer's local time, earliest first: *count asks for 1 to
  // kMaxRunTimes of them and receives how many came. 0 when that many came (there may be
  // more), kFalse when fewer; a status (kDisabled, kNoValidTriggers, kEventTrigger) or a
  // failure without any.
  virtual HResult GetRunTimes(const SystemTime* /*begin*/, const SystemTime* /*end*/,
                              std::uint16_t* /*count*/, std::vector<SystemTime>* /*runTimes*/) {
    return kValueNotGiven;
  }
  // The timers that start the task (Linux): a timer's own schedule, a service's those of
  // the timers that trigger it; none for a unit no timer starts. Read when asked for.
  virtual HResult GetTimerSchedules(std::vector<TimerSchedule>* /*schedules*/) {
    return kValueNotGiven;
  }

 protected:
  ~ITask() = default;
};

// ERROR_NONE_MAPPED: a user name that names no account.
inline constexpr HResult kUnknownAccount = static_cast<HResult>(0x80070534);

// S_FALSE: a list that ended before it gave as many names as were asked for.
inline constexpr HResult kFalse = 1;

// The names of a scheduler's tasks (IEnumWorkItems), in the scheduler's own order.
class IEnumWorkItems : public CountedObject {
 public:
  // Appends up to wanted names: 0 when it gave that many, kFalse when the list ended
  // first, any other code on failure, the names appended before it kept.
  virtual HResult Next(std::uint32_t wanted, std::vector<std::u16string>& names) = 0;
  // Whether the names are the scheduler's own matches of the pattern that Enum was given,
  // by rules that may go beyond the caller's, to be taken as they are. Windows lists every
  // task and leaves the matching to the caller.
  virtual bool MatchedByScheduler() { return false; }

 protected:
  ~IEnumWorkItems() = default;
};

class ITaskScheduler : public CountedObject {
 public:
  // computer: zero-terminated UTF-16, led by two backslashes.
  virtual HResult SetTargetComputer(const char16_t* computer) = 0;
  // name: zero-terminated UTF-16; item receives a counted reference on success.
  virtual HResult Activate(const char16_t* name, const Guid& iid, ITask** item) = 0;
  // The scheduler's tasks; items receives a counted reference on success. pattern: the
  // check's pattern, zero-terminated. Windows lists every task and leaves the matching to
  // the caller; a scheduler that matches names itself (Linux) may list only its matches
  // (IEnumWorkItems::MatchedByScheduler).
  virtual HResult Enum(const char16_t* pattern, IEnumWorkItems** items) = 0;

 protected:
  ~ITaskScheduler() = default;
};

// TASK_STATE_* of a 2.0 task.
inline constexpr std::int32_t kTaskStateDisabled = 1;
inline constexpr std::int32_t kTaskStateRunning = 4;

// A task of the Task Scheduler 2.0 library (IRegisteredTask).
class IRegisteredTask : public CountedObject {
 public:
  // A DATE: the same day count as the check's DateTime, in the addressed computer's local
  // time. SCHED_S_TASK_HAS_NOT_RUN when the task never ran.
  virtual HResult get_LastRunTime(double* lastRun) = 0;
  // The last run's exit code, or a scheduler status such as SCHED_S_TASK_RUNNING.
  virtual HResult get_LastTaskResult(std::int32_t* result) = 0;
  // The task's name inside its folder.
  virtual HResult get_Name(std::u16string* name) = 0;
  // TASK_STATE_*: kTaskStateDisabled, 2 queued, 3 ready, kTaskStateRunning.
  virtual HResult get_State(std::int32_t* /*state*/) { return kValueNotGiven; }
  virtual HResult get_Enabled(bool* /*enabled*/) { return kValueNotGiven; }
  // A DATE as get_LastRunTime gives it; 0 when no run is scheduled.
  virtual HResult get_NextRunTime(double* /*nextRun*/) { return kValueNotGiven; }
  virtual HResult get_NumberOfMissedRuns(std::int32_t* /*missedRuns*/) { return kValueNotGiven; }
  // The starts from start to end, in the addressed computer's local time, earliest first;
  // *count asks for that many and receives how many came. 0 when they were all, kFalse
  // when there were more.
  virtual HResult GetRunTimes(const SystemTime* /*start*/, const SystemTime* /*end*/,
                              std::uint32_t* /*count*/, std::vector<SystemTime>* /*runTimes*/) {
    return kValueNotGiven;
  }

 protected:
  ~IRegisteredTask() = default;
};

// The tasks of one folder (IRegisteredTaskCollection).
class IRegisteredTaskCollection : public CountedObject {
 public:
  virtual HResult get_Count(std::int32_t* count) = 0;
  // index: from 1 to the count; task receives a counted reference on success.
  virtual HResult get_Item(std::int32_t index, IRegisteredTask** task) = 0;

 protected:
  ~IRegisteredTaskCollection() = default;
};

// GetTasks flag: hidden tasks are listed too (TASK_ENUM_HIDDEN).
inline constexpr std::int32_t kTaskEnumHidden = 1;

class ITaskFolderCollection;

// A folder of the Task Scheduler 2.0 library (ITaskFolder). Texts are handed to Windows as
// BSTRs, which a call to another computer carries whole.
class ITaskFolder : public CountedObject {
 public:
  // name: the task's name inside this folder; task receives a counted reference on success.
  virtual HResult GetTask(std::u16string_view name, IRegisteredTask** task) = 0;
  // The tasks directly in this folder; tasks receives a counted reference on success.
  virtual HResult GetTasks(std::int32_t flags, IRegisteredTaskCollection** tasks) = 0;
  // The folder's own name, without the path of the folder that holds it.
  virtual HResult get_Name(std::u16string* /*name*/) { return kValueNotGiven; }
  // The folders directly in this folder; flags is 0; folders receives a counted reference
  // on success.
  virtual HResult GetFolders(std::int32_t /*flags*/, ITaskFolderCollection** /*folders*/) {
    return kValueNotGiven;
  }

 protected:
  ~ITaskFolder() = default;
};

// The folders of one folder (ITaskFolderCollection).
class ITaskFolderCollection : public CountedObject {
 public:
  virtual HResult get_Count(std::int32_t* count) = 0;
  // index: from 1 to the count; folder receives a counted reference on success.
  virtual HResult get_Item(std::int32_t index, ITaskFolder** folder) = 0;

 protected:
  ~ITaskFolderCollection() = default;
};

// The Task Scheduler 2.0 object (ITaskService).
class ITaskService : public CountedObject {
 public:
  // Each empty text goes as an empty VARIANT, any other as a BSTR VARIANT; an empty
  // serverName is the local computer, empty credentials are the thread's own.
  virtual HResult Connect(std::u16string_view serverName, std::u16string_view user,
                          std::u16string_view domain, std::u16string_view password) = 0;
  // path: led by a backslash; a backslash alone is the root folder, \Backup\Nightly the
  // folder Nightly inside Backup.
  virtual HResult GetFolder(std::u16string_view path, ITaskFolder** folder) = 0;

 protected:
  ~ITaskService() = default;
};

// The values beyond a task's last run and exit code that a check will read of each task.
struct TaskValueRequest {
  bool runningState = false;   // whether the task runs now
  bool scheduleState = false;  // whether and when it runs again, and the runs it missed
  bool Any() const { return runningState || scheduleState; }
};

class ComRuntime {
 public:
  virtual ~ComRuntime() = default;
  // Single-threaded apartment, null reserved argument.
  virtual HResult CoInitialize() = 0;
  virtual void CoUninitialize() = 0;
  // outer is always null here; object receives a counted reference on success.
  virtual HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                                   const Guid& iid, ITaskScheduler** object) = 0;
  // The same for the Task Scheduler 2.0 object; a system without it answers as Windows
  // before Vista does, class not registered (REGDB_E_CLASSNOTREG).
  virtual HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                                   const Guid& iid, ITaskService** object) = 0;
  // The user-name part of the check's account, given before the scheduler object is made.
  // A scheduler reached by other means than a Windows logon uses it to log on to a remote
  // computer (on Linux, as the SSH login); Windows ignores it, since impersonation carries
  // the credentials there.
  virtual void SetRemoteLogin(std::string_view /*userName*/) {}
  // Whether the scheduler object made next will be pointed at another computer
  // (SetTargetComputer) before it is used. Where making the object would otherwise connect
  // to the local computer's scheduler (Linux), the local one is then left alone, so that a
  // remote check needs nothing local; Windows ignores it.
  virtual void SetRemoteTarget(bool /*remote*/) {}
  // The latest moment by which every scheduler call made from now on must have returned;
  // the scheduler objects made after it end their waits by then, each at the earlier of
  // its own limit and this deadline. Windows ignores it.
  virtual void SetCheckDeadline(std::chrono::steady_clock::time_point /*deadline*/) {}
  // Given before the scheduler object is made, and only when the check reads more of a task
  // than its last run and exit code: a scheduler that reads a task's values in one batch
  // (Linux) can then ask for these with the others. Windows ignores it.
  virtual void RequestTaskValues(const TaskValueRequest& /*values*/) {}
  // The user (a name or a number) whose own manager the scheduler objects made next read
  // instead of the system's. 0 where the scheduler has such managers (Linux); Windows has
  // none and answers kValueNotGiven. A user that does not exist makes the connection fail
  // with kUnknownAccount.
  virtual HResult SetUserManager(std::string_view /*user*/) { return kValueNotGiven; }
};

}  // namespace runwarden
