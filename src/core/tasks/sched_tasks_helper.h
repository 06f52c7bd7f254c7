#pragma once
// The scheduled-task helper: reaches the Task Scheduler of the local or a remote computer,
// opens one task and reads its most recent run time and last exit code. Platform failures
// never raise here: Connect and OpenTask return false and leave the reason in ErrorText.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/tasks/counted_ref.h"
#include "core/calendar/date_time.h"
#include "core/calendar/errors.h"
#include "core/tasks/task_names.h"
#include "core/tasks/scheduled_start.h"
#include "core/tasks/task_run_state.h"
#include "platform/com_runtime.h"
#include "platform/wide_text.h"

namespace runwarden {

// A scheduler, computer or task that cannot be reached or found: the check is Bad.
class ESchedTasksHelperError : public Exception {
 public:
  using Exception::Exception;
};

// UTF-16 units of the one conversion buffer that every name handed to the scheduler goes
// through; it exists for the whole life of the program.
inline constexpr std::size_t kWideNameBufferUnits = 512;

// The result code given for a name of kWideNameBufferUnits bytes or more, which is refused
// without a platform call: HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE).
inline constexpr HResult kNameTooLong = static_cast<HResult>(0x800700CE);

// Converts text, written in the system's ANSI code page as the command line is, into the
// shared buffer and returns it, zero-terminated; nullptr when the text has
// kWideNameBufferUnits bytes or more. Each call overwrites the previous result.
const char16_t* WideName(WideText& wideText, std::string_view text);

// A task that a pattern matched: the 1.0 name to activate, or the 2.0 task itself; or a
// folder of a tree that could not be listed, by its path with a trailing backslash.
struct FoundTask {
  std::u16string Path;  // root tasks by their name, others by their path
  std::string Name;     // Path in the system's code page, as the report shows it
  CountedRef<IRegisteredTask> Registered;  // set for a task found through 2.0 only
  HResult ListFailure = 0;  // the folder's: why it could not be listed
};

class TSchedTasksHelper {
 public:
  TSchedTasksHelper(ComRuntime& com, WideText& wideText) : com_(com), wideText_(wideText) {}
  TSchedTasksHelper(const TSchedTasksHelper&) = delete;
  TSchedTasksHelper& operator=(const TSchedTasksHelper&) = delete;
  // Releases RegisteredTask, Folder and Service, then ActivatedItem, Task and Scheduler.
  virtual ~TSchedTasksHelper();

  // host: empty for the local computer, else led by two backslashes.
  bool Connect(std::string_view host);
  // Requires a successful Connect. Task Scheduler 1.0 is asked first; a name that it does
  // not know is looked up in the Task Scheduler 2.0 library of the same computer, and when
  // that fails too, the 1.0 answer stands. A failure leaves an earlier opened task readable.
  bool OpenTask(std::string_view name);
  // Requires a successful Connect. The tasks that pattern matches, by name (TaskNameBefore):
  // a pattern without a folder, or in the root, lists the 1.0 tasks and then those of the
  // 2.0 root folder, a task that both know listed once; one in a folder lists that 2.0
  // folder. A tree (\Company\**) lists its folder and every folder below it, and each
  // folder that could not be listed (its tasks, or its folders) as an entry of its own
  // besides the tasks it gave; \** lists the 1.0 tasks and the whole 2.0 tree. When no task
  // matches, false, and the not-found text gives the code of a 1.0 list that failed, else
  // 80070002; for a folder, the code of the first 2.0 list of a folder that exists that
  // failed, else 80070003; 800700CE for a pattern too long for the name buffer, refused
  // without a call.
  bool FindTasks(std::string_view pattern, std::vector<FoundTask>& tasks);
  // OpenTask for a task that FindTasks gave; false for a folder that could not be listed,
  // with the text Cannot list folder "PATH\"; Error Code: CODE.
  bool OpenFoundTask(const FoundTask& task);
  // Most recent run in the addressed computer's local time; 0 when no task is open.
  // Throws EConvertError when the scheduler's record is no valid date or time, or the task
  // never ran; a 2.0 run time passes the same checks as a 1.0 record.
  DateTime LastRunTime();
  // The most recent run in whole seconds since 1970 (rounded down), where the scheduler gives
  // that instant itself rather than a local time (systemd); none otherwise.
  std::optional<std::int64_t> LastRunUnixTime();
  // Requires a successful OpenTask. For a 2.0 task the result may be a scheduler status:
  // a task running now gives 0, one that has not run throws the never-ran EConvertError
  // of LastRunTime; every other value is the exit code.
  std::uint32_t LastExitCode();
  // The result code of the last Connect: 0, or why it failed.
  HResult ConnectResult() const { return connectResult_; }
  // Requires a successful OpenTask. The values asked for, each with one call at most (see
  // ReadTaskRunState); none asked for, no call.
  TaskRunState RunState(const TaskValueRequest& request);
  // Up to count of the last lines the task's last run wrote, where the scheduler keeps them
  // (a 1.0 task object that gives them); none otherwise.
  std::optional<std::vector<std::string>> LastLogLines(std::uint32_t count);
  // Requires a successful OpenTask. The latest start that the task's schedule gave: of a
  // task that timers start (GetTimerSchedules), at or before nowUsec less graceUsec (see
  // LatestTimerDue); else as the scheduler lists its starts before listEnd, the addressed
  // computer's local time (see LatestListedStart). A failure to read the timers is
  // NotListed.
  TaskDue LatestStart(DateTime listEnd, std::int64_t nowUsec, std::int64_t graceUsec,
                      TimeZone& zones);

  const std::string& ErrorText() const { return errorText_; }

 private:
  bool OpenRegisteredTask(std::string_view name);
  bool ActivateV1Task(const char16_t* name, HResult& activated);
  bool ConnectService();
  HResult ListV1Tasks(std::u16string_view names, std::vector<FoundTask>& tasks);
  HResult ListRegisteredTasks(const TaskPattern& pattern, std::vector<FoundTask>& tasks);
  HResult ListRegisteredTree(const TaskPattern& pattern, std::vector<FoundTask>& tasks);
  HResult ListFolderTasks(ITaskFolder& folder, std::u16string_view path, const TaskPattern& pattern,
                          std::size_t listedByV1, std::vector<FoundTask>& tasks);
  std::string NarrowName(std::u16string_view name);

  ComRuntime& com_;
  WideText& wideText_;
  CountedRef<ITaskScheduler> Scheduler;
  CountedRef<ITask> ActivatedItem;
  CountedRef<ITask> Task;
  // Task Scheduler 2.0, made for a name that 1.0 does not know.
  CountedRef<ITaskService> Service;
  CountedRef<ITaskFolder> Folder;
  CountedRef<IRegisteredTask> RegisteredTask;
  std::string host_;  // the computer that Scheduler addresses, for the 2.0 connection
  std::string errorText_;
  HResult connectResult_ = 0;
};

}  // namespace runwarden
