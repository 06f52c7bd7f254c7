#pragma once
// A scriptable fake of every platform interface. It records each call, in order, as one
// text in `calls`, answers with the values the test sets, and counts the references it
// hands out so that tests can see what was released, in which order, and that nothing
// leaks.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace runwarden::testing {

class FakePlatform;

// A counted fake object; every AddRef and Release is recorded with the count after it.
class FakeTask final : public ITask {
 public:
  FakeTask(FakePlatform& fake, std::string name) : fake_(fake), name_(std::move(name)) {}
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HResult GetMostRecentRunTime(SystemTime* lastRun) override;
  HResult GetExitCode(std::uint32_t* exitCode) override;
  std::uint32_t count = 1;

 private:
  FakePlatform& fake_;
  std::string name_;
};

class FakeScheduler final : public ITaskScheduler {
 public:
  explicit FakeScheduler(FakePlatform& fake) : fake_(fake) {}
  std::uint32_t AddRef() override;
  std::uint32_t Release() override;
  HResult SetTargetComputer(const char16_t* computer) override;
  HResult Activate(const char16_t* name, const Guid& iid, ITask** item) override;
  std::uint32_t count = 1;

 private:
  FakePlatform& fake_;
};

class FakePlatform final : public ComRuntime,
                           public WideText,
                           public LogonApi,
                           public NetworkApi,
                           public Clock,
                           public TimeZone,
                           public Console,
                           public LocaleApi,
                           public CaseMapping {
 public:
  FakePlatform();
  ~FakePlatform() override;
  Platform& platform() { return platform_; }

  // --- what happened ---
  std::vector<std::string> calls;
  std::vector<std::string> output;  // console lines; banner lines are prefixed "cp437:"
  // Objects handed out and not yet released to a count of 0.
  int liveObjects = 0;
  // The last NETRESOURCE passed, with its texts copied.
  NetResource lastResource{};
  std::string lastRemoteName;
  // GetCPInfo and GetDateFormatA calls, apart from `calls` as they happen at start-up and
  // inside texts.
  std::vector<std::string> localeCalls;
  std::vector<LocaleType> localeQueries;  // GetLocaleInfoA, in order

  // --- scripted answers ---
  HResult coInitializeResult = 0;
  HResult coCreateInstanceResult = 0;
  bool coCreateInstanceStoresObject = true;  // on a success code (0 or positive)
  HResult setTargetComputerResult = 0;
  HResult activateResult = 0;
  bool activateStoresObject = true;
  SystemTime lastRunTime{2026, 12, 0, 6, 2, 0, 0, 0};
  bool fillLastRunTime = true;
  HResult getMostRecentRunTimeResult = 0;
  std::uint32_t exitCode = 0;
  bool fillExitCode = true;
  HResult getExitCodeResult = 0;
  bool logonSucceeds = true;
  TokenHandle logonToken = 0x44;
  bool impersonateSucceeds = true;
  SystemErrorCode lastError = 1326;
  // The system's text for lastError; empty: FormatMessageA has none and returns 0.
  std::string systemMessage = "The user name or password is incorrect.\r\n";
  std::deque<SystemErrorCode> connectionResults;  // WNetAddConnection2A, in turn; 0 after
  std::deque<SystemTime> clockReadings;           // GetLocalTime, in turn; the last repeats
  bool timeZoneReadable = true;
  std::int32_t standardBias = 0;
  LocaleId threadLocale = 0x0409;
  std::map<LocaleType, std::string> localeInfo;
  std::map<std::uint32_t, CodePageInfo> codePages;     // GetCPInfo; others fail
  std::map<std::string, std::string> altCalendarDates;  // GetDateFormatA by format; others fail

  // --- ComRuntime ---
  HResult CoInitialize() override;
  void CoUninitialize() override;
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskScheduler** object) override;
  void SetRemoteLogin(std::string_view userName) override;
  // --- WideText: bytes are taken as Latin-1 ---
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                          int byteCount, char16_t* buffer, int capacity) override;
  // --- LogonApi ---
  bool LogonUserA(const char* user, const char* domain, const char* password,
                  std::uint32_t logonType, std::uint32_t provider, TokenHandle* token) override;
  bool ImpersonateLoggedOnUser(TokenHandle token) override;
  bool RevertToSelf() override;
  bool CloseHandle(TokenHandle token) override;
  SystemErrorCode GetLastError() override;
  std::uint32_t FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                               std::uint32_t languageId, char* buffer, std::uint32_t size) override;
  // --- NetworkApi ---
  SystemErrorCode WNetAddConnection2A(const NetResource& resource, const char* password,
                                      const char* user, std::uint32_t flags) override;
  SystemErrorCode WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                         bool force) override;
  // --- Clock, TimeZone, Console ---
  SystemTime GetLocalTime() override;
  bool GetStandardBias(std::int32_t* biasMinutes) override;
  void WriteLine(std::string_view line) override;
  void WriteCp437Line(std::string_view line) override;

  // --- LocaleApi: every query fails unless localeInfo holds an answer ---
  LocaleId GetThreadLocale() override;
  int GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) override;
  bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) override;
  int GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                     const char* format, char* buffer, int size) override;

  // --- CaseMapping: a to z, and the bytes above 127 that upperCase maps ---
  std::uint32_t CharUpperBuffA(char* text, std::uint32_t length) override;
  std::map<unsigned char, unsigned char> upperCase;

  static std::string Narrow(const char16_t* text);

 private:
  friend class FakeTask;
  friend class FakeScheduler;
  Platform platform_;
  std::vector<FakeTask*> tasks_;
  std::vector<FakeScheduler*> schedulers_;
};

std::string GuidName(const Guid& guid);

}  // namespace runwarden::testing
