// The fake Task Scheduler 1.0 and 2.0 objects: each call recorded, each answer the
// scenario's.
#include "fakes/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace runwarden::testing {

namespace {

// An optional text of a 2.0 call as recorded.
std::string Optional(std::u16string_view text) {
  return text.empty() ? "<empty>" : FakePlatform::Narrow(text);
}

}  // namespace

namespace {

// Each byte as the unit of the same number.
std::u16string Latin1(std::string_view text) {
  std::u16string units;
  for (const char byte : text) units += static_cast<unsigned char>(byte);
  return units;
}

template <class Value>
Value AnswerFor(const std::map<std::string, Value>& answers, const std::string& name,
                Value otherwise) {
  const auto answer = answers.find(name);
  return answer == answers.end() ? otherwise : answer->second;
}

}  // namespace

HResult FakeTask::GetMostRecentRunTime(SystemTime* lastRun) {
  fake_.calls.push_back("GetMostRecentRunTime(" + name_ + ")");
  if (fake_.fillLastRunTime) *lastRun = AnswerFor(fake_.taskLastRuns, name_, fake_.lastRunTime);
  return fake_.getMostRecentRunTimeResult;
}

HResult FakeTask::GetExitCode(std::uint32_t* exitCode) {
  fake_.calls.push_back("GetExitCode(" + name_ + ")");
  if (fake_.fillExitCode) *exitCode = AnswerFor(fake_.taskExitCodes, name_, fake_.exitCode);
  return fake_.getExitCodeResult;
}

bool FakePlatform::GivesValue(const std::string& method, const std::string& object) {
  calls.push_back(method + "(" + object + ")");
  return notGiven.count(method) == 0;
}

namespace {

constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);

// The answer of a state method: result with the value stored, or E_NOTIMPL without one.
template <class Value>
HResult Give(bool given, Value* target, Value value, HResult result = 0) {
  if (!given) return kNotImplemented;
  *target = value;
  return result;
}

}  // namespace

HResult FakeTask::GetStatus(HResult* status) {
  return Give(fake_.GivesValue("GetStatus", name_), status, fake_.taskStatus);
}

HResult FakeTask::GetFlags(std::uint32_t* flags) {
  return Give(fake_.GivesValue("GetFlags", name_), flags,
              AnswerFor(fake_.taskFlagSets, name_, fake_.taskFlags));
}

HResult FakeTask::GetNextRunTime(SystemTime* nextRun) {
  const HResult result = fake_.nextRunResult;
  return Give(fake_.GivesValue("GetNextRunTime", name_), nextRun,
              result == 0 ? fake_.nextRunTime : SystemTime{}, result);
}

HResult FakeTask::GetMostRecentRunUnixTime(std::int64_t* microseconds) {
  fake_.calls.push_back("GetMostRecentRunUnixTime(" + name_ + ")");
  if (!fake_.lastRunMicroseconds) return kNotImplemented;
  *microseconds = *fake_.lastRunMicroseconds;
  return 0;
}

HResult FakeTask::GetLastLogLines(std::uint32_t wanted, std::vector<std::string>* lines) {
  fake_.calls.push_back("GetLastLogLines(" + name_ + ")");
  const auto kept = fake_.logLines.find(name_);
  if (kept == fake_.logLines.end()) return kNotImplemented;
  const std::size_t taken = std::min<std::size_t>(wanted, kept->second.size());
  lines->assign(kept->second.end() - static_cast<std::ptrdiff_t>(taken), kept->second.end());
  return 0;
}

HResult FakeScheduler::SetTargetComputer(const char16_t* computer) {
  fake_.calls.push_back("SetTargetComputer(" + FakePlatform::Narrow(computer) + ")");
  return fake_.setTargetComputerResult;
}

HResult FakeScheduler::Activate(const char16_t* name, const Guid& iid, ITask** item) {
  const std::string narrow = FakePlatform::Narrow(name);
  fake_.calls.push_back("Activate(" + narrow + ", " + GuidName(iid) + ")");
  const auto failure = fake_.taskActivateResults.find(narrow);
  if (failure != fake_.taskActivateResults.end()) return failure->second;  // stores nothing
  if (fake_.activateStoresObject) fake_.HandOut<FakeTask>(item, narrow);
  return fake_.activateResult;
}

HResult FakeScheduler::Enum(const char16_t* pattern, IEnumWorkItems** items) {
  fake_.calls.push_back("Enum(" + FakePlatform::Narrow(pattern) + ")");
  if (fake_.enumResult == 0) fake_.HandOut<FakeWorkItems>(items, "work items");
  return fake_.enumResult;
}

HResult FakeWorkItems::Next(std::uint32_t wanted, std::vector<std::u16string>& names) {
  fake_.calls.push_back("Next(" + std::to_string(wanted) + ")");
  const std::vector<std::string>& listed = fake_.listedTasks;
  for (std::uint32_t i = 0; i < wanted; ++i, ++given_) {
    if (given_ == fake_.nextFailsAfter) return FakePlatform::kFailure;
    if (given_ == listed.size()) return kFalse;
    names.push_back(AnswerFor(fake_.wideListedNames, listed[given_], Latin1(listed[given_])));
  }
  return 0;
}

bool FakeWorkItems::MatchedByScheduler() { return fake_.listMatchedByScheduler; }

std::string FakeRegisteredTask::TaskName() const {
  return name_.substr(std::string_view("registered ").size());
}

HResult FakeRegisteredTask::get_LastRunTime(double* lastRun) {
  fake_.calls.push_back("get_LastRunTime(" + name_ + ")");
  if (fake_.fillRegisteredLastRun) {
    *lastRun = AnswerFor(fake_.registeredLastRuns, TaskName(), fake_.registeredLastRun);
  }
  return fake_.lastRunTimeResult;
}

HResult FakeRegisteredTask::get_LastTaskResult(std::int32_t* result) {
  fake_.calls.push_back("get_LastTaskResult(" + name_ + ")");
  if (fake_.fillLastTaskResult) {
    *result = AnswerFor(fake_.registeredResults, TaskName(), fake_.lastTaskResult);
  }
  return fake_.fillLastTaskResult ? 0 : static_cast<HResult>(0x80004001);  // E_NOTIMPL
}

HResult FakeRegisteredTask::get_Name(std::u16string* name) {
  fake_.calls.push_back("get_Name(" + name_ + ")");
  const std::string text = TaskName();
  *name = Latin1(text);
  return 0;
}

HResult FakeRegisteredTask::get_State(std::int32_t* state) {
  return Give(fake_.GivesValue("get_State", name_), state, fake_.registeredState);
}

HResult FakeRegisteredTask::get_Enabled(bool* enabled) {
  return Give(fake_.GivesValue("get_Enabled", name_), enabled, fake_.registeredEnabled);
}

HResult FakeRegisteredTask::get_NextRunTime(double* nextRun) {
  return Give(fake_.GivesValue("get_NextRunTime", name_), nextRun, fake_.registeredNextRun);
}

HResult FakeRegisteredTask::get_NumberOfMissedRuns(std::int32_t* missedRuns) {
  return Give(fake_.GivesValue("get_NumberOfMissedRuns", name_), missedRuns, fake_.missedRuns);
}

HResult FakeTaskCollection::get_Count(std::int32_t* taskCount) {
  fake_.calls.push_back("get_Count(" + name_ + ")");
  *taskCount = static_cast<std::int32_t>(tasks_.size());
  return 0;
}

HResult FakeTaskCollection::get_Item(std::int32_t index, IRegisteredTask** task) {
  fake_.calls.push_back("get_Item(" + name_ + ", " + std::to_string(index) + ")");
  if (index < 1 || index > static_cast<std::int32_t>(tasks_.size())) {
    return static_cast<HResult>(0x80070057);  // E_INVALIDARG
  }
  fake_.HandOut<FakeRegisteredTask>(task, "registered " + tasks_[static_cast<std::size_t>(index - 1)]);
  return 0;
}

HResult FakeTaskFolder::GetTask(std::u16string_view name, IRegisteredTask** task) {
  const std::string narrow = FakePlatform::Narrow(name);
  fake_.calls.push_back("GetTask(" + narrow + ")");
  if (fake_.getTaskResult >= 0) fake_.HandOut<FakeRegisteredTask>(task, "registered " + narrow);
  return fake_.getTaskResult;
}

std::string FakeTaskFolder::Path() const { return name_.substr(std::string_view("folder ").size()); }

HResult FakeTaskFolder::GetTasks(std::int32_t flags, IRegisteredTaskCollection** tasks) {
  const std::string path = Path();
  fake_.calls.push_back("GetTasks(" + path + ", " + std::to_string(flags) + ")");
  const HResult result = AnswerFor(fake_.folderTaskListResults, path, fake_.getTasksResult);
  if (result < 0) return result;
  fake_.HandOut<FakeTaskCollection>(tasks, "tasks " + path,
                                    AnswerFor(fake_.folderTasks, path, std::vector<std::string>{}));
  return result;
}

HResult FakeTaskFolder::get_Name(std::u16string* name) {
  fake_.calls.push_back("get_Name(" + name_ + ")");
  const std::string path = Path();
  const std::string last = path == "\\" ? path : path.substr(path.rfind('\\') + 1);
  name->assign(last.begin(), last.end());  // Latin-1
  return 0;
}

HResult FakeTaskFolder::GetFolders(std::int32_t flags, ITaskFolderCollection** folders) {
  const std::string path = Path();
  fake_.calls.push_back("GetFolders(" + path + ", " + std::to_string(flags) + ")");
  const HResult result = AnswerFor(fake_.subfolderListResults, path, HResult{0});
  if (result < 0) return result;
  fake_.HandOut<FakeFolderCollection>(folders, path,
                                      AnswerFor(fake_.subfolders, path, std::vector<std::string>{}));
  return result;
}

HResult FakeFolderCollection::get_Count(std::int32_t* folderCount) {
  fake_.calls.push_back("get_Count(" + name_ + ")");
  *folderCount = static_cast<std::int32_t>(folders_.size());
  return 0;
}

HResult FakeFolderCollection::get_Item(std::int32_t index, ITaskFolder** folder) {
  fake_.calls.push_back("get_Item(" + name_ + ", " + std::to_string(index) + ")");
  if (index < 1 || index > static_cast<std::int32_t>(folders_.size())) {
    return static_cast<HResult>(0x80070057);  // E_INVALIDARG
  }
  const std::string& name = folders_[static_cast<std::size_t>(index - 1)];
  fake_.HandOut<FakeTaskFolder>(folder, "folder " + (path_ == "\\" ? "" : path_) + "\\" + name);
  return 0;
}

HResult FakeTaskService::Connect(std::u16string_view serverName, std::u16string_view user,
                                 std::u16string_view domain, std::u16string_view password) {
  fake_.calls.push_back("Connect(" + Optional(serverName) + ", " + Optional(user) + ", " +
                        Optional(domain) + ", " + Optional(password) + ")");
  return fake_.serviceConnectResult;
}

HResult FakeTaskService::GetFolder(std::u16string_view path, ITaskFolder** folder) {
  const std::string narrow = FakePlatform::Narrow(path);
  fake_.calls.push_back("GetFolder(" + narrow + ")");
  if (fake_.getFolderResult >= 0) fake_.HandOut<FakeTaskFolder>(folder, "folder " + narrow);
  return fake_.getFolderResult;
}
}  // namespace runwarden::testing
