#include "core/sched_tasks_helper.h"

#include <algorithm>
#include <array>

#include "core/integer_text.h"

namespace runwarden {
namespace {

// Lives from program start to program end; shared by every conversion.
std::array<char16_t, kWideNameBufferUnits> WideNameBuffer;

std::string FailureText(std::string_view lead, std::string_view name, HResult result) {
  std::string text(lead);
  text += '"';
  text += name;
  text += "\"; Error Code: ";
  text += HexText(static_cast<std::uint32_t>(result), 8);
  return text;
}

// OpenTask without a scheduler object (E_POINTER); Connect must succeed first.
constexpr HResult kNoScheduler = static_cast<HResult>(0x80004003);

// What Activate answers for a name that Task Scheduler 1.0 does not hold: the task exists
// only in the 2.0 library, or nowhere.
constexpr std::array<std::uint32_t, 3> kUnknownToV1 = {
    0x80070002,  // ERROR_FILE_NOT_FOUND: no task of that name
    0x80070003,  // ERROR_PATH_NOT_FOUND: a name with a folder in it
    0x8007007B,  // ERROR_INVALID_NAME: characters that a 1.0 task file cannot be named with
};

bool IsUnknownToV1(HResult result) {
  return std::find(kUnknownToV1.begin(), kUnknownToV1.end(),
                   static_cast<std::uint32_t>(result)) != kUnknownToV1.end();
}

// Scheduler statuses of Task Scheduler 2.0.
constexpr HResult kTaskRunning = 0x00041301;    // SCHED_S_TASK_RUNNING
constexpr HResult kTaskHasNotRun = 0x00041303;  // SCHED_S_TASK_HAS_NOT_RUN

// A 2.0 task path split at its last backslash: the folder, led by one backslash (the root
// when there is none, or only backslashes before the name), and the task's name.
struct TaskPath {
  std::u16string folder;
  std::u16string_view name;
};

TaskPath SplitTaskPath(std::u16string_view path) {
  const std::size_t last = path.rfind(u'\\');
  if (last == std::u16string_view::npos) return {u"\\", path};
  std::u16string_view folder = path.substr(0, last);
  folder.remove_prefix(std::min(folder.find_first_not_of(u'\\'), folder.size()));
  return {u"\\" + std::u16string(folder), path.substr(last + 1)};
}

// The 2.0 Connect takes the computer's name without the two backslashes that lead it for
// 1.0.
std::u16string_view ServerName(std::u16string_view host) {
  if (host.starts_with(u"\\\\")) host.remove_prefix(2);
  return host;
}

// A 2.0 run time as the record that 1.0 gives: all zero when the task never ran (the
// status, or a zero date), else the DATE rounded to whole milliseconds and split, so that
// DateTimeFromSystemTime checks both alike. A DATE without a date (NaN, out of range)
// splits into zeros.
SystemTime RegisteredLastRun(IRegisteredTask& task) {
  DateTime date = 0;  // stays 0, and so never ran, when the call gives no value
  if (task.get_LastRunTime(&date) == kTaskHasNotRun || date == 0) return {};
  const DateParts day = SplitDate(date);
  const TimeParts time = SplitTime(date);
  return {day.year, day.month, 0, day.day, time.hour, time.minute, time.second, time.millisecond};
}

// LastTaskResult is the exit code of the last run, or a scheduler status. A run that is
// still going has not failed; a task that has not run gets the never-ran answer; any other
// value, a failure to start the program included, is judged as the exit code.
std::uint32_t JudgedTaskResult(IRegisteredTask& task) {
  std::int32_t result = 0;  // stays 0 when the call gives no value
  task.get_LastTaskResult(&result);
  if (result == kTaskRunning) return 0;
  // The all-zero record is refused with the very error of a 1.0 task that never ran.
  if (result == kTaskHasNotRun) static_cast<void>(DateTimeFromSystemTime(SystemTime{}));
  return static_cast<std::uint32_t>(result);
}

}  // namespace

const char16_t* WideName(WideText& wideText, std::string_view text) {
  // n bytes become at most n units, so up to 511 bytes fit with the terminator.
  if (text.size() >= WideNameBuffer.size()) return nullptr;
  const int length = static_cast<int>(text.size());
  int written = length == 0 ? 0
                            : wideText.MultiByteToWideChar(kAnsiCodePage, 0, text.data(), length,
                                                           WideNameBuffer.data(), length);
  if (written < 0 || written > length) written = 0;
  WideNameBuffer[static_cast<std::size_t>(written)] = u'\0';
  return WideNameBuffer.data();
}

TSchedTasksHelper::~TSchedTasksHelper() {
  // The 2.0 objects were made last and go first, in reverse order.
  RegisteredTask.Release();
  Folder.Release();
  Service.Release();
  ActivatedItem.Release();
  Task.Release();
  Scheduler.Release();
}

bool TSchedTasksHelper::Connect(std::string_view host) {
  Folder.Release();
  Service.Release();
  Scheduler.Release();
  host_.clear();
  const HResult created = com_.CoCreateInstance(CLSID_CTaskScheduler, nullptr, kClassContextInprocServer,
                                                IID_ITaskScheduler, Scheduler.Put());
  if (created != 0 || !Scheduler) {
    errorText_ = "Error in CoCreateInstance. Error Code: " +
                 HexText(static_cast<std::uint32_t>(created), 8);
    return false;
  }
  if (host.empty()) return true;
  const char16_t* computer = WideName(wideText_, host);
  const HResult targeted = computer ? Scheduler.Get()->SetTargetComputer(computer) : kNameTooLong;
  if (targeted == 0) {
    host_ = host;
    return true;
  }
  errorText_ = FailureText("Cannot connect to computer: ", host, targeted);
  return false;
}

bool TSchedTasksHelper::OpenTask(std::string_view name) {
  ActivatedItem.Release();
  HResult activated = kNoScheduler;
  if (Scheduler) {
    const char16_t* wideName = WideName(wideText_, name);
    activated = wideName ? Scheduler.Get()->Activate(wideName, IID_ITask, ActivatedItem.Put())
                         : kNameTooLong;
  }
  if (activated == 0 && ActivatedItem) {
    Task.Assign(ActivatedItem.Get());
    RegisteredTask.Release();
    return true;
  }
  if (IsUnknownToV1(activated) && OpenRegisteredTask(name)) {
    Task.Release();
    return true;
  }
  errorText_ = FailureText("Cannot find task ", name, activated);
  return false;
}

// Task Scheduler 2.0 of the computer that Scheduler addresses. Every failure here leaves
// the 1.0 answer to stand; what was made is released with the helper.
bool TSchedTasksHelper::OpenRegisteredTask(std::string_view name) {
  Folder.Release();
  Service.Release();
  if (com_.CoCreateInstance(CLSID_TaskScheduler, nullptr, kClassContextInprocServer,
                            IID_ITaskService, Service.Put()) != 0 ||
      !Service) {
    return false;
  }
  // The names go through the shared buffer as for 1.0, each to one call. The task path is
  // split in UTF-16, where no byte of a double-byte character can pass for a backslash.
  const char16_t* computer = WideName(wideText_, host_);
  if (!computer) return false;
  // The credentials are those of the thread, which impersonates the check's account.
  if (Service.Get()->Connect(ServerName(computer), {}, {}, {}) != 0) return false;
  const char16_t* path = WideName(wideText_, name);
  if (!path) return false;
  const TaskPath split = SplitTaskPath(path);
  if (split.name.empty()) return false;
  if (Service.Get()->GetFolder(split.folder, Folder.Put()) != 0 || !Folder) return false;
  CountedRef<IRegisteredTask> found;
  if (Folder.Get()->GetTask(split.name, found.Put()) != 0 || !found) return false;
  RegisteredTask.Assign(found.Get());
  return true;
}

DateTime TSchedTasksHelper::LastRunTime() {
  if (RegisteredTask) return DateTimeFromSystemTime(RegisteredLastRun(*RegisteredTask.Get()));
  if (!Task) return 0;
  SystemTime lastRun{};  // stays all zero, and so no date, when the call fills nothing
  Task.Get()->GetMostRecentRunTime(&lastRun);
  return DateTimeFromSystemTime(lastRun);
}

std::uint32_t TSchedTasksHelper::LastExitCode() {
  if (RegisteredTask) return JudgedTaskResult(*RegisteredTask.Get());
  std::uint32_t exitCode = 0;
  if (Task) Task.Get()->GetExitCode(&exitCode);
  return exitCode;
}

}  // namespace runwarden
