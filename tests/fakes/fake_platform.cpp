#include "fakes/fake_platform.h"

#include <algorithm>
#include <cstring>

namespace runwarden::testing {

std::string GuidName(const Guid& guid) {
  if (guid == CLSID_CTaskScheduler) return "CLSID_CTaskScheduler";
  if (guid == IID_ITaskScheduler) return "IID_ITaskScheduler";
  if (guid == IID_ITask) return "IID_ITask";
  return "unknown GUID";
}

std::string FakePlatform::Narrow(const char16_t* text) {
  std::string narrow;
  for (; *text; ++text) narrow += static_cast<char>(*text);
  return narrow;
}

FakePlatform::FakePlatform()
    : platform_{*this, *this, *this, *this, *this, *this, *this, *this, *this} {}

FakePlatform::~FakePlatform() {
  // Objects the code under test failed to release are freed here so that the sanitizers
  // report the test's own findings, not this fake's.
  for (FakeTask* task : tasks_) delete task;
  for (FakeScheduler* scheduler : schedulers_) delete scheduler;
}

std::uint32_t FakeTask::AddRef() {
  ++count;
  fake_.calls.push_back("AddRef(" + name_ + ")=" + std::to_string(count));
  return count;
}

std::uint32_t FakeTask::Release() {
  --count;
  fake_.calls.push_back("Release(" + name_ + ")=" + std::to_string(count));
  if (count == 0) --fake_.liveObjects;
  return count;
}

HResult FakeTask::GetMostRecentRunTime(SystemTime* lastRun) {
  fake_.calls.push_back("GetMostRecentRunTime(" + name_ + ")");
  if (fake_.fillLastRunTime) *lastRun = fake_.lastRunTime;
  return fake_.getMostRecentRunTimeResult;
}

HResult FakeTask::GetExitCode(std::uint32_t* exitCode) {
  fake_.calls.push_back("GetExitCode(" + name_ + ")");
  if (fake_.fillExitCode) *exitCode = fake_.exitCode;
  return fake_.getExitCodeResult;
}

std::uint32_t FakeScheduler::AddRef() {
  ++count;
  fake_.calls.push_back("AddRef(scheduler)=" + std::to_string(count));
  return count;
}

std::uint32_t FakeScheduler::Release() {
  --count;
  fake_.calls.push_back("Release(scheduler)=" + std::to_string(count));
  if (count == 0) --fake_.liveObjects;
  return count;
}

HResult FakeScheduler::SetTargetComputer(const char16_t* computer) {
  fake_.calls.push_back("SetTargetComputer(" + FakePlatform::Narrow(computer) + ")");
  return fake_.setTargetComputerResult;
}

HResult FakeScheduler::Activate(const char16_t* name, const Guid& iid, ITask** item) {
  const std::string narrow = FakePlatform::Narrow(name);
  fake_.calls.push_back("Activate(" + narrow + ", " + GuidName(iid) + ")");
  if (fake_.activateStoresObject) {
    auto* task = new FakeTask(fake_, narrow);
    fake_.tasks_.push_back(task);
    ++fake_.liveObjects;
    *item = task;
  }
  return fake_.activateResult;
}

HResult FakePlatform::CoInitialize() {
  calls.push_back("CoInitialize");
  return coInitializeResult;
}

void FakePlatform::CoUninitialize() { calls.push_back("CoUninitialize"); }

HResult FakePlatform::CoCreateInstance(const Guid& clsid, CountedObject* outer,
                                       std::uint32_t context, const Guid& iid,
                                       ITaskScheduler** object) {
  calls.push_back("CoCreateInstance(" + GuidName(clsid) + ", " + (outer ? "outer" : "null") +
                  ", " + std::to_string(context) + ", " + GuidName(iid) + ")");
  if (coCreateInstanceStoresObject && (coCreateInstanceResult >= 0)) {
    auto* scheduler = new FakeScheduler(*this);
    schedulers_.push_back(scheduler);
    ++liveObjects;
    *object = scheduler;
  }
  return coCreateInstanceResult;
}

void FakePlatform::SetRemoteLogin(std::string_view userName) {
  calls.push_back("SetRemoteLogin(" + std::string(userName) + ")");
}

int FakePlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                      const char* bytes, int byteCount, char16_t* buffer,
                                      int capacity) {
  calls.push_back("MultiByteToWideChar(" + std::to_string(codePage) + ", " +
                  std::to_string(flags) + ", " + std::to_string(byteCount) + ", " +
                  std::to_string(capacity) + ")");
  if (byteCount > capacity) return 0;
  for (int i = 0; i < byteCount; ++i) buffer[i] = static_cast<unsigned char>(bytes[i]);
  return byteCount;
}

bool FakePlatform::LogonUserA(const char* user, const char* domain, const char* password,
                              std::uint32_t logonType, std::uint32_t provider,
                              TokenHandle* token) {
  calls.push_back(std::string("LogonUserA(") + user + ", " + (domain ? domain : "<null>") + ", " +
                  password + ", " + std::to_string(logonType) + ", " + std::to_string(provider) +
                  ")");
  *token = logonSucceeds ? logonToken : 0;
  return logonSucceeds;
}

bool FakePlatform::ImpersonateLoggedOnUser(TokenHandle token) {
  calls.push_back("ImpersonateLoggedOnUser(" + std::to_string(token) + ")");
  return impersonateSucceeds;
}

bool FakePlatform::RevertToSelf() {
  calls.push_back("RevertToSelf");
  return true;
}

bool FakePlatform::CloseHandle(TokenHandle token) {
  calls.push_back("CloseHandle(" + std::to_string(token) + ")");
  return true;
}

SystemErrorCode FakePlatform::GetLastError() {
  calls.push_back("GetLastError");
  return lastError;
}

std::uint32_t FakePlatform::FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                                           std::uint32_t languageId, char* buffer,
                                           std::uint32_t size) {
  calls.push_back("FormatMessageA(" + std::to_string(flags) + ", " + std::to_string(messageId) +
                  ", " + std::to_string(languageId) + ", " + std::to_string(size) + ")");
  if (systemMessage.empty() || systemMessage.size() + 1 > size) return 0;
  std::memcpy(buffer, systemMessage.c_str(), systemMessage.size() + 1);
  return static_cast<std::uint32_t>(systemMessage.size());
}

SystemErrorCode FakePlatform::WNetAddConnection2A(const NetResource& resource,
                                                  const char* password, const char* user,
                                                  std::uint32_t flags) {
  lastResource = resource;
  lastRemoteName = resource.lpRemoteName ? resource.lpRemoteName : "<null>";
  calls.push_back("WNetAddConnection2A(" + lastRemoteName + ", " + password + ", " + user + ", " +
                  std::to_string(flags) + ")");
  if (connectionResults.empty()) return 0;
  const SystemErrorCode result = connectionResults.front();
  connectionResults.pop_front();
  return result;
}

SystemErrorCode FakePlatform::WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                                     bool force) {
  calls.push_back(std::string("WNetCancelConnection2A(") + name + ", " + std::to_string(flags) +
                  ", " + (force ? "true" : "false") + ")");
  return 0;
}

SystemTime FakePlatform::GetLocalTime() {
  calls.push_back("GetLocalTime");
  if (clockReadings.empty()) return {2026, 12, 1, 7, 12, 0, 0, 0};
  const SystemTime reading = clockReadings.front();
  if (clockReadings.size() > 1) clockReadings.pop_front();
  return reading;
}

bool FakePlatform::GetStandardBias(std::int32_t* biasMinutes) {
  calls.push_back("GetTimeZoneInformation");
  if (timeZoneReadable) *biasMinutes = standardBias;
  return timeZoneReadable;
}

void FakePlatform::WriteLine(std::string_view line) { output.emplace_back(line); }

void FakePlatform::WriteCp437Line(std::string_view line) {
  output.push_back("cp437:" + std::string(line));
}

LocaleId FakePlatform::GetThreadLocale() { return threadLocale; }

namespace {

// A text answer as the Windows locale functions give it: stored with its terminator, the
// count including it; 0 when the room is too small.
int StoreAnswer(const std::string& answer, char* buffer, int size) {
  const int needed = static_cast<int>(answer.size()) + 1;
  if (needed > size) return 0;
  std::memcpy(buffer, answer.c_str(), static_cast<std::size_t>(needed));
  return needed;
}

}  // namespace

int FakePlatform::GetLocaleInfoA(LocaleId, LocaleType type, char* buffer, int size) {
  localeQueries.push_back(type);
  const auto answer = localeInfo.find(type);
  return answer == localeInfo.end() ? 0 : StoreAnswer(answer->second, buffer, size);
}

bool FakePlatform::GetCPInfo(std::uint32_t codePage, CodePageInfo* info) {
  localeCalls.push_back("GetCPInfo(" + std::to_string(codePage) + ")");
  const auto answer = codePages.find(codePage);
  if (answer == codePages.end()) return false;
  *info = answer->second;
  return true;
}

int FakePlatform::GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                                 const char* format, char* buffer, int size) {
  localeCalls.push_back("GetDateFormatA(" + std::to_string(locale) + ", " +
                        std::to_string(flags) + ", " + std::to_string(date->wYear) + "-" +
                        std::to_string(date->wMonth) + "-" + std::to_string(date->wDay) + " wd" +
                        std::to_string(date->wDayOfWeek) + ", " + format + ")");
  const auto answer = altCalendarDates.find(format);
  return answer == altCalendarDates.end() ? 0 : StoreAnswer(answer->second, buffer, size);
}

std::uint32_t FakePlatform::CharUpperBuffA(char* text, std::uint32_t length) {
  for (std::uint32_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto mapped = upperCase.find(byte);
    if (byte >= 'a' && byte <= 'z') {
      text[i] = static_cast<char>(byte - 'a' + 'A');
    } else if (mapped != upperCase.end()) {
      text[i] = static_cast<char>(mapped->second);
    }
  }
  return length;
}

}  // namespace runwarden::testing
