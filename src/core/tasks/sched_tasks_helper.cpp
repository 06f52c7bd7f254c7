#include "core/tasks/sched_tasks_helper.h"

#include <algorithm>
#include <array>

#include "core/calendar/integer_text.h"

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

constexpr HResult kFileNotFound = static_cast<HResult>(0x80070002);
constexpr HResult kInvalidName = static_cast<HResult>(0x8007007B);
constexpr HResult kPathNotFound = static_cast<HResult>(0x80070003);

// Names asked of a 1.0 task list at a time.
constexpr std::uint32_t kListBatch = 64;

// The 2.0 Connect takes the computer's name without the two backslashes that lead it for
// 1.0.
std::u16string_view ServerName(std::u16string_view host) {
  if (host.starts_with(u"\\\\")) host.remove_prefix(2);
  return host;
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
  connectResult_ = created;
  if (created != 0 || !Scheduler) {
    errorText_ = "Error in CoCreateInstance. Error Code: " +
                 HexText(static_cast<std::uint32_t>(created), 8);
    return false;
  }
  if (host.empty()) return true;
  const char16_t* computer = WideName(wideText_, host);
  const HResult targeted = computer ? Scheduler.Get()->SetTargetComputer(computer) : kNameTooLong;
  connectResult_ = targeted;
  if (targeted == 0) {
    host_ = host;
    return true;
  }
  errorText_ = FailureText("Cannot connect to computer: ", host, targeted);
  return false;
}

bool TSchedTasksHelper::OpenTask(std::string_view name) {
  ActivatedItem.Release();  // before the name is converted, as the call order shows
  HResult activated = kNoScheduler;
  if (ActivateV1Task(Scheduler ? WideName(wideText_, name) : nullptr, activated)) return true;
  if (IsUnknownToV1(activated) && OpenRegisteredTask(name)) {
    Task.Release();
    return true;
  }
  errorText_ = FailureText("Cannot find task ", name, activated);
  return false;
}

bool TSchedTasksHelper::OpenFoundTask(const FoundTask& task) {
  if (task.ListFailure != 0) {
    errorText_ = FailureText("Cannot list folder ", task.Name, task.ListFailure);
    return false;
  }
  if (task.Registered) {
    ActivatedItem.Release();
    Task.Release();
    RegisteredTask.Assign(task.Registered.Get());
    return true;
  }
  HResult activated = kNoScheduler;
  if (ActivateV1Task(task.Path.c_str(), activated)) return true;
  errorText_ = FailureText("Cannot find task ", task.Name, activated);
  return false;
}

// Opens a 1.0 task as the one to read; activated: the platform's answer. name: null for a
// name too long for the buffer.
bool TSchedTasksHelper::ActivateV1Task(const char16_t* name, HResult& activated) {
  ActivatedItem.Release();
  if (!Scheduler) {
    activated = kNoScheduler;
    return false;
  }
  activated = name ? Scheduler.Get()->Activate(name, IID_ITask, ActivatedItem.Put()) : kNameTooLong;
  if (activated != 0 || !ActivatedItem) return false;
  Task.Assign(ActivatedItem.Get());
  RegisteredTask.Release();
  return true;
}

// Task Scheduler 2.0 of the computer that Scheduler addresses. Every failure here leaves
// the 1.0 answer to stand; what was made is released with the helper.
bool TSchedTasksHelper::ConnectService() {
  Folder.Release();
  Service.Release();
  if (com_.CoCreateInstance(CLSID_TaskScheduler, nullptr, kClassContextInprocServer,
                            IID_ITaskService, Service.Put()) != 0 ||
      !Service) {
    return false;
  }
  // The names go through the shared buffer as for 1.0, each to one call.
  const char16_t* computer = WideName(wideText_, host_);
  // The credentials are those of the thread, which impersonates the check's account.
  return computer && Service.Get()->Connect(ServerName(computer), {}, {}, {}) == 0;
}

bool TSchedTasksHelper::OpenRegisteredTask(std::string_view name) {
  if (!ConnectService()) return false;
  // The task path is split in UTF-16, where no byte of a double-byte character can pass
  // for a backslash.
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

bool TSchedTasksHelper::FindTasks(std::string_view pattern, std::vector<FoundTask>& tasks) {
  tasks.clear();
  HResult notFound = kNameTooLong;
  if (const char16_t* wide = WideName(wideText_, pattern)) {
    // Split in UTF-16 and copied out of the shared buffer before any other name uses it.
    const TaskPattern split = SplitTaskPattern(wide);
    const bool root = IsRootFolder(split.folder);
    notFound = root ? ListV1Tasks(split.names, tasks) : kPathNotFound;
    const HResult listed = ListRegisteredTasks(split, tasks);
    if (!root && listed != 0) notFound = listed;
    std::stable_sort(tasks.begin(), tasks.end(), [](const FoundTask& a, const FoundTask& b) {
      return TaskNameBefore(a.Path, b.Path);
    });
    // Folders that could not be listed, and no task: nothing was found.
    if (std::all_of(tasks.begin(), tasks.end(),
                    [](const FoundTask& task) { return task.ListFailure != 0; })) {
      tasks.clear();
    }
  }
  if (!tasks.empty()) return true;
  errorText_ = FailureText("Cannot find task ", pattern, notFound);
  return false;
}

// The matching 1.0 tasks, all in the root folder; returns the code of a list that could
// not be made, else that of a task not found. A list that breaks off keeps what it gave.
// Names that the scheduler matched itself are taken as they are.
HResult TSchedTasksHelper::ListV1Tasks(std::u16string_view names, std::vector<FoundTask>& tasks) {
  if (!Scheduler) return kNoScheduler;
  const std::u16string pattern(names);
  CountedRef<IEnumWorkItems> items;
  const HResult listed = Scheduler.Get()->Enum(pattern.c_str(), items.Put());
  if (listed != 0) return listed;
  std::vector<std::u16string> listedNames;
  // A 0 answer has given every name asked for; one that did not is taken as the end.
  for (std::size_t before = 0; items;) {
    before = listedNames.size();
    if (items.Get()->Next(kListBatch, listedNames) != 0 ||
        listedNames.size() != before + kListBatch) {
      break;
    }
  }
  const bool matched = items && items.Get()->MatchedByScheduler();
  for (std::u16string& name : listedNames) {
    if (!matched && !MatchesTaskPattern(names, name)) continue;
    FoundTask task;
    task.Name = NarrowName(name);
    task.Path = std::move(name);
    tasks.push_back(std::move(task));
  }
  return kFileNotFound;
}

// The matching tasks of the pattern's 2.0 folder, or tree; in the root, those that 1.0
// listed already are left out. Returns the code of a failure to list a folder that was
// found, else 0: without 2.0, or without the folder, the 1.0 answer stands.
HResult TSchedTasksHelper::ListRegisteredTasks(const TaskPattern& pattern,
                                               std::vector<FoundTask>& tasks) {
  if (!ConnectService()) return 0;
  if (Service.Get()->GetFolder(pattern.folder, Folder.Put()) != 0 || !Folder) return 0;
  if (pattern.tree) return ListRegisteredTree(pattern, tasks);
  return ListFolderTasks(*Folder.Get(), pattern.folder, pattern, tasks.size(), tasks);
}

// The tasks of one folder, at path; the tasks before listedByV1 are those that 1.0 listed.
// Every failure ends the list where it stands; returns its code, else 0.
HResult TSchedTasksHelper::ListFolderTasks(ITaskFolder& folder, std::u16string_view path,
                                           const TaskPattern& pattern, std::size_t listedByV1,
                                           std::vector<FoundTask>& tasks) {
  CountedRef<IRegisteredTaskCollection> collection;
  const HResult listed = folder.GetTasks(kTaskEnumHidden, collection.Put());
  if (listed != 0 || !collection) return listed;
  std::int32_t count = 0;
  if (const HResult counted = collection.Get()->get_Count(&count); counted != 0) return counted;
  const bool root = IsRootFolder(path);
  for (std::int32_t index = 1; index <= count; ++index) {
    FoundTask task;
    std::u16string name;
    HResult read = collection.Get()->get_Item(index, task.Registered.Put());
    if (read == 0 && task.Registered) read = task.Registered.Get()->get_Name(&name);
    if (read != 0 || !task.Registered) return read;
    if (!MatchesTaskPattern(pattern.names, name)) continue;
    const auto v1End = tasks.begin() + static_cast<std::ptrdiff_t>(listedByV1);
    if (root && std::any_of(tasks.begin(), v1End, [&name](const FoundTask& v1Task) {
          return SameTaskName(v1Task.Path, name);
        })) {
      continue;
    }
    task.Path = root ? name : std::u16string(path) + u"\\" + name;
    task.Name = NarrowName(task.Path);
    tasks.push_back(std::move(task));
  }
  return 0;
}

namespace {

// A folder of a tree still to be listed.
struct PendingFolder {
  CountedRef<ITaskFolder> folder;
  std::u16string path;
};

// The folders directly in folder, at path, appended to pending. Every failure ends the
// list where it stands; returns its code, else 0. So that the walk ends whatever the
// platform answers, each folder must add one level to the path (a name that is empty or
// holds a backslash fails as an invalid name), and a path must stay shorter than the
// name buffer (a longer one fails as a name too long).
HResult ListSubfolders(ITaskFolder& folder, std::u16string_view path,
                       std::vector<PendingFolder>& pending) {
  CountedRef<ITaskFolderCollection> folders;
  const HResult listed = folder.GetFolders(0, folders.Put());
  if (listed != 0 || !folders) return listed;
  std::int32_t count = 0;
  if (const HResult counted = folders.Get()->get_Count(&count); counted != 0) return counted;
  for (std::int32_t index = 1; index <= count; ++index) {
    PendingFolder next;
    std::u16string name;
    HResult read = folders.Get()->get_Item(index, next.folder.Put());
    if (read == 0 && next.folder) read = next.folder.Get()->get_Name(&name);
    if (read != 0 || !next.folder) return read;
    if (name.empty() || name.find(u'\\') != std::u16string::npos) return kInvalidName;
    next.path = (IsRootFolder(path) ? std::u16string() : std::u16string(path)) + u"\\" + name;
    if (next.path.size() >= kWideNameBufferUnits) return kNameTooLong;
    pending.push_back(std::move(next));
  }
  return 0;
}

}  // namespace

// The tasks of the folder that Folder holds and of every folder below it. A folder whose
// tasks or folders could not be listed becomes an entry of its own, named by its path and
// a backslash, with the code of its first failure; the tasks it gave are kept. Returns the
// code of the first such folder, the top one first, else 0.
HResult TSchedTasksHelper::ListRegisteredTree(const TaskPattern& pattern,
                                              std::vector<FoundTask>& tasks) {
  const std::size_t listedByV1 = tasks.size();
  std::vector<PendingFolder> pending;
  PendingFolder current;  // holds the folder being listed, once below the top one
  ITaskFolder* folder = Folder.Get();
  std::u16string path = pattern.folder;
  HResult firstFailure = 0;
  for (;;) {
    HResult failure = ListFolderTasks(*folder, path, pattern, listedByV1, tasks);
    const HResult walked = ListSubfolders(*folder, path, pending);
    if (failure == 0) failure = walked;
    if (failure != 0) {
      FoundTask entry;
      entry.Path = IsRootFolder(path) ? path : path + u"\\";
      entry.Name = NarrowName(entry.Path);
      entry.ListFailure = failure;
      tasks.push_back(std::move(entry));
      if (firstFailure == 0) firstFailure = failure;
    }
    if (pending.empty()) return firstFailure;
    current = std::move(pending.back());
    pending.pop_back();
    folder = current.folder.Get();
    path = std::move(current.path);
  }
}

// A task's name in the system's code page, as the command line gives names.
std::string TSchedTasksHelper::NarrowName(std::u16string_view name) {
  return wideText_.Narrow(kAnsiCodePage, name);
}

}  // namespace runwarden
