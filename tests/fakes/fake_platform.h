#pragma once
// A scriptable fake of every platform interface. It records each call, in order, as one
// text in `calls`, answers with the values the test sets, and counts the references it
// hands out so that tests can see what was released, in which order, and that nothing
// leaks.

#include <cstdint>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "fakes/fake_run_times.h"
#include "fakes/fake_task_scheduler.h"
#include "platform/platform.h"

namespace runwarden::testing {

class FakePlatform final : public ComRuntime,
                           public WideText,
                           public LogonApi,
                           public NetworkApi,
                           public Clock,
                           public TimeZone,
                           public Console,
                           public LocaleApi,
                           public CaseMapping,
                           public OutputFile,
                           public DeadlineTimer {
 public:
  FakePlatform();
  ~FakePlatform() override;
  Platform& platform() { return platform_; }

  // --- what happened ---
  std::vector<std::string> calls;
  std::vector<std::string> output;  // console lines; banner lines are prefixed "cp437:"
  // Every byte written to standard output, line ends included. Write's complete lines go to
  // output as well, without their LF or CR LF.
  std::string written;
  std::vector<std::string> errorLines;  // standard error, without line ends
  // The files that ReplaceFile wrote, by path, with their bytes.
  std::map<std::string, std::string> files;
  // Objects handed out and not yet released to a count of 0.
  int liveObjects = 0;
  // The last NETRESOURCE passed, with its texts copied.
  NetResource lastResource{};
  std::string lastRemoteName;
  // GetACP, GetCPInfo and GetDateFormatA calls, apart from `calls` as they happen at
  // start-up and inside texts.
  std::vector<std::string> localeCalls;
  std::vector<LocaleType> localeQueries;  // GetLocaleInfoA, in order

  // --- scripted answers ---
  HResult coInitializeResult = 0;
  HResult coCreateInstanceResult = 0;
  HResult setUserManagerResult = static_cast<HResult>(0x80004001);
  bool coCreateInstanceStoresObject = true;  // on a success code (0 or positive)
  HResult setTargetComputerResult = 0;
  HResult activateResult = 0;
  bool activateStoresObject = true;
  SystemTime lastRunTime{2026, 12, 0, 6, 2, 0, 0, 0};
  bool fillLastRunTime = true;
  HResult getMostRecentRunTimeResult = 0;
  std::optional<std::int64_t> lastRunMicroseconds;  // GetMostRecentRunUnixTime; unset: E_NOTIMPL
  std::uint32_t exitCode = 0;
  bool fillExitCode = true;
  HResult getExitCodeResult = 0;
  // Task Scheduler 2.0: not there unless a test makes it (REGDB_E_CLASSNOTREG, as on
  // Windows before Vista). The other calls succeed; objects are stored on codes >= 0.
  HResult serviceCreateResult = static_cast<HResult>(0x80040154);
  HResult serviceConnectResult = 0;
  HResult getFolderResult = 0;
  HResult getTaskResult = 0;
  double registeredLastRun = 0;  // a DATE
  HResult lastRunTimeResult = 0;
  bool fillRegisteredLastRun = true;
  std::int32_t lastTaskResult = 0;
  bool fillLastTaskResult = true;  // false: E_NOTIMPL without a value, as Wine answers

  // Task Scheduler 1.0 answers v1Answer and stores nothing; 2.0 is there and finds tasks.
  void KnowTasksOnlyThrough2(HResult v1Answer = static_cast<HResult>(0x80070002)) {
    activateResult = v1Answer;
    activateStoresObject = false;
    serviceCreateResult = 0;
  }

  // Many tasks. The 1.0 list (Enum) gives listedTasks; Next fails with kFailure once it
  // has given nextFailsAfter names. Per-task answers, by name, stand before the ones above.
  std::vector<std::string> listedTasks;
  // Listed names given as these UTF-16 names, not their bytes as Latin-1 (outside the code page).
  std::map<std::string, std::u16string> wideListedNames;
  bool listMatchedByScheduler = false;  // MatchedByScheduler, not recorded in `calls`
  HResult enumResult = 0;
  std::size_t nextFailsAfter = SIZE_MAX;
  std::map<std::string, HResult> taskActivateResults;
  std::map<std::string, SystemTime> taskLastRuns;
  std::map<std::string, std::uint32_t> taskExitCodes;
  // 2.0 folders by path ("\\" the root) with the names of their tasks; GetTasks of any
  // other folder gives an empty collection.
  std::map<std::string, std::vector<std::string>> folderTasks;
  HResult getTasksResult = 0;
  std::map<std::string, double> registeredLastRuns;
  std::map<std::string, std::int32_t> registeredResults;
  // Folder trees: the names of the folders in a folder, by path; GetFolders of any other
  // folder gives an empty collection. Per folder, GetTasks and GetFolders fail with these.
  std::map<std::string, std::vector<std::string>> subfolders;
  std::map<std::string, HResult> folderTaskListResults;
  std::map<std::string, HResult> subfolderListResults;

  // A task's state beyond its last run: 1.0 GetStatus, GetFlags (by name before the
  // default) and GetNextRunTime (its answer, and the record with an answer of 0); 2.0
  // get_State, get_Enabled, get_NextRunTime and get_NumberOfMissedRuns. Every method named
  // in notGiven answers E_NOTIMPL without a value.
  HResult taskStatus = 0x41300;  // ready
  std::uint32_t taskFlags = 0;
  std::map<std::string, std::uint32_t> taskFlagSets;
  HResult nextRunResult = 0;
  SystemTime nextRunTime{2026, 12, 0, 8, 2, 0, 0, 0};
  std::int32_t registeredState = 3;  // ready
  bool registeredEnabled = true;
  double registeredNextRun = 0;
  std::int32_t missedRuns = 0;
  std::set<std::string> notGiven;
  // The lines of a task's last run, by name; a task without an entry keeps none.
  std::map<std::string, std::vector<std::string>> logLines;
  FakeRunTimes runTimes;
  // Whether a state method gives its value; records the call.
  bool GivesValue(const std::string& method, const std::string& object);
  static constexpr HResult kFailure = static_cast<HResult>(0x80004005);

  bool logonSucceeds = true;
  TokenHandle logonToken = 0x44;
  bool impersonateSucceeds = true;
  SystemErrorCode lastError = 1326;
  std::map<std::u16string, StoredCredential> storedCredentials;  // by target name
  SystemErrorCode credentialError = 1168;  // ERROR_NOT_FOUND
  // The system's text for lastError; empty: FormatMessageA has none and returns 0.
  std::string systemMessage = "The user name or password is incorrect.\r\n";
  std::deque<SystemErrorCode> connectionResults;  // WNetAddConnection2A, in turn; 0 after
  std::deque<SystemTime> clockReadings;           // GetLocalTime, in turn; the last repeats
  std::int64_t unixTime = 1'796'644'800;          // GetUnixTime: 2026-12-07 12:00 UTC
  bool localTimesConvert = true;  // LocalToUnixTime: local time + standardBias is UTC
  std::string_view lineEnd = "\r\n";  // the console's, as on Windows
  SystemErrorCode replaceFileResult = 0;  // ReplaceFile: 0 writes the file
  SystemErrorCode writeResult = 0;        // Write: 0 writes the bytes, else nothing
  bool timeZoneReadable = true;
  std::int32_t standardBias = 0;
  LocaleId threadLocale = 0x0409;
  std::map<LocaleType, std::string> localeInfo;
  std::map<std::uint32_t, CodePageInfo> codePages;     // GetCPInfo; others fail
  std::map<std::string, std::string> altCalendarDates;  // GetDateFormatA by format; others fail
  // AnsiCodePage: UTF-8, so that the forms take the texts as they are, unless a test names
  // another code page.
  std::uint32_t ansiCodePage = kUtf8CodePage;
  // Characters of a double-byte code page that MultiByteToWideChar knows, by their two
  // bytes; every other byte is taken as Latin-1.
  std::map<std::string, char16_t> doubleByteCharacters;
  // Any other lead byte of codePages[kAnsiCodePage] with the byte after it is a character
  // too, a CJK ideograph made of the two bytes.
  bool anyDoubleByteCharacter = false;
  // The check's deadline passes once a call that begins with this text was recorded; never
  // when it is empty.
  std::string deadlinePassesAfter;
  // The watchdog fires while the check's thread is inside the call that begins with this
  // text (never when it is empty): when the check, having come back, claims its output, the
  // watchdog has claimed it, written the timed-out output and ended the process (recorded
  // as "EndProcess(STATUS)").
  std::string watchdogFiresIn;
  // The check's writing of the output it claimed does not end: the watchdog gives it up and
  // ends the process with the unwritten status (recorded as "EndProcess(STATUS)").
  bool writeHangs = false;

  // --- ComRuntime ---
  HResult CoInitialize() override;
  void CoUninitialize() override;
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskScheduler** object) override;
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskService** object) override;
  void SetRemoteLogin(std::string_view userName) override;
  // Recorded as the seconds since the epoch of the fake's steady clock, on which
  // StartDeadline's deadline is its limit.
  void SetCheckDeadline(std::chrono::steady_clock::time_point deadline) override;
  void RequestTaskValues(const TaskValueRequest& values) override;
  // Recorded; answers setUserManagerResult (as Windows does, unless a row says otherwise).
  HResult SetUserManager(std::string_view user) override;
  // --- WideText: bytes are taken as Latin-1 unless doubleByteCharacters knows them ---
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                          int byteCount, char16_t* buffer, int capacity) override;
  // UTF-8 for kUtf8CodePage, else Narrow as below; 0 when the result does not fit.
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* units,
                          int unitCount, char* buffer, int capacity) override;
  std::uint32_t AnsiCodePage() override;
  // --- LogonApi ---
  bool LogonUserA(const char* user, const char* domain, const char* password,
                  std::uint32_t logonType, std::uint32_t provider, TokenHandle* token) override;
  bool ImpersonateLoggedOnUser(TokenHandle token) override;
  bool RevertToSelf() override;
  bool CloseHandle(TokenHandle token) override;
  // Records CredReadW(target, type); answers from storedCredentials, else fails with
  // credentialError as the last error.
  bool CredReadW(const char16_t* target, std::uint32_t type,
                 StoredCredential* credential) override;
  SystemErrorCode GetLastError() override;
  std::uint32_t FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                               std::uint32_t languageId, char* buffer, std::uint32_t size) override;
  // --- NetworkApi ---
  SystemErrorCode WNetAddConnection2A(const NetResource& resource, const char* password,
                                      const char* user, std::uint32_t flags) override;
  SystemErrorCode WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                         bool force) override;
  // --- Clock, TimeZone, Console, OutputFile ---
  SystemTime GetLocalTime() override;
  std::int64_t GetUnixTime() override;
  bool GetStandardBias(std::int32_t* biasMinutes) override;
  bool LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) override;
  // "" as standardBias says, "UTC" without offset, no other zone.
  bool ZoneOffsetAt(std::string_view zone, std::int64_t unixTime, std::int32_t* offset) override;
  void WriteLine(std::string_view line) override;
  void WriteCp437Line(std::string_view line) override;
  SystemErrorCode Write(std::string_view bytes) override;
  void WriteErrorLine(std::string_view line) override;
  std::string_view LineEnd() override;
  SystemErrorCode ReplaceFile(std::string_view path, std::string_view bytes) override;

  // --- LocaleApi: every query fails unless localeInfo holds an answer ---
  LocaleId GetThreadLocale() override;
  int GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) override;
  bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) override;
  int GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                     const char* format, char* buffer, int size) override;

  // --- CaseMapping: a to z, and the bytes above 127 that upperCase maps ---
  std::uint32_t CharUpperBuffA(char* text, std::uint32_t length) override;
  std::map<unsigned char, unsigned char> upperCase;

  // --- DeadlineTimer ---
  TimePoint StartDeadline(std::chrono::seconds limit, int unwrittenStatus,
                          std::function<int()> writeTimedOut) override;
  bool DeadlinePassed() override;
  bool ClaimOutput() override;
  bool OutputWritten() override;

  // Units up to 0xFF as that byte (the fake's own conversion is Latin-1), others in UTF-8.
  static std::string Narrow(std::u16string_view text);
  // UTF-16 in UTF-8, as Windows converts to kUtf8CodePage (the Linux conversion, which
  // makes an unpaired surrogate U+FFFD as Windows does).
  static std::string Utf8(std::u16string_view text);

  // A new live object owned by the fake, stored in *object.
  template <class Fake, class Interface, class... Arguments>
  void HandOut(Interface** object, Arguments&&... arguments) {
    auto* made = new Fake(*this, std::forward<Arguments>(arguments)...);
    objects_.emplace_back(made);
    ++liveObjects;
    *object = made;
  }

 private:
  // Whether a call that begins with prefix was recorded; never for an empty prefix.
  bool Recorded(const std::string& prefix) const;

  Platform platform_;
  std::vector<std::unique_ptr<FakeObject>> objects_;
  std::function<int()> writeTimedOut_;
  int unwrittenStatus_ = 0;
};

template <class Interface>
std::uint32_t FakeCounted<Interface>::AddRef() {
  ++count;
  fake_.calls.push_back("AddRef(" + name_ + ")=" + std::to_string(count));
  return count;
}

template <class Interface>
std::uint32_t FakeCounted<Interface>::Release() {
  --count;
  fake_.calls.push_back("Release(" + name_ + ")=" + std::to_string(count));
  if (count == 0) --fake_.liveObjects;
  return count;
}

std::string GuidName(const Guid& guid);

}  // namespace runwarden::testing
