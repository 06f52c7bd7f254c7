#pragma once
// The Linux implementations of the platform interfaces.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/platform.h"

namespace runwarden {

// Writes every byte to the descriptor, in as few calls as it takes (a short output reaches a
// pipe in one piece); 0, or errno of the write that failed.
int WriteWhole(int descriptor, std::string_view bytes);

// Seconds since the epoch as the local date and time, with the given milliseconds.
SystemTime LocalSystemTime(std::time_t seconds, std::uint16_t milliseconds);

class LinuxClock final : public Clock {
 public:
  SystemTime GetLocalTime() override;
  std::int64_t GetUnixTime() override;
};

class LinuxTimeZone final : public TimeZone {
 public:
  bool GetStandardBias(std::int32_t* biasMinutes) override;
  bool LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) override;
};

// Standard output and error that were closed when the program started are held open on
// /dev/null, so that no file or socket the program opens takes their descriptors and
// receives the output; writing to them still fails, as it would have.
class LinuxConsole final : public Console {
 public:
  LinuxConsole();
  void WriteLine(std::string_view line) override;
  void WriteCp437Line(std::string_view line) override;
  SystemErrorCode Write(std::string_view bytes) override;
  void WriteErrorLine(std::string_view line) override;
  std::string_view LineEnd() override;

 private:
  bool outputClosed_;
  bool errorClosed_;
};

// No COM on Linux: initialisation succeeds and does nothing; the scheduler object is a
// connection to the systemd manager of the local computer or, over ssh, of a remote one.
class LinuxComRuntime final : public ComRuntime {
 public:
  HResult CoInitialize() override { return 0; }
  void CoUninitialize() override {}
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskScheduler** object) override;
  // No Task Scheduler 2.0: class not registered, as on Windows before Vista.
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskService** object) override;
  void SetRemoteLogin(std::string_view userName) override { remoteLogin_ = userName; }
  void SetRemoteTarget(bool remote) override { remoteTarget_ = remote; }
  void SetCheckDeadline(std::chrono::steady_clock::time_point deadline) override {
    checkDeadline_ = deadline;
  }
  void RequestTaskValues(const TaskValueRequest& values) override { values_ = values; }
  HResult SetUserManager(std::string_view user) override {
    userManager_ = user;
    return 0;
  }

 private:
  std::string remoteLogin_;  // the ssh login for a remote computer; empty: ssh's choice
  bool remoteTarget_ = false;  // the next scheduler object goes to another computer
  std::chrono::steady_clock::time_point checkDeadline_ =
      std::chrono::steady_clock::time_point::max();  // none: each object's own limits
  TaskValueRequest values_;  // none: the last run and exit code alone
  std::string userManager_;  // empty: the system manager
};

class LinuxWideText final : public WideText {
 public:
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                          int byteCount, char16_t* buffer, int capacity) override;
  // UTF-8, whatever the code page.
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* units,
                          int unitCount, char* buffer, int capacity) override;
  std::uint32_t AnsiCodePage() override { return kUtf8CodePage; }
};

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view text);

class LinuxLogonApi final : public LogonApi {
 public:
  bool LogonUserA(const char* user, const char* domain, const char* password,
                  std::uint32_t logonType, std::uint32_t provider, TokenHandle* token) override;
  bool ImpersonateLoggedOnUser(TokenHandle token) override;
  bool RevertToSelf() override;
  bool CloseHandle(TokenHandle token) override;
  bool CredReadW(const char16_t* target, std::uint32_t type,
                 StoredCredential* credential) override;
  SystemErrorCode GetLastError() override;
  std::uint32_t FormatMessageA(std::uint32_t flags, SystemErrorCode messageId,
                               std::uint32_t languageId, char* buffer, std::uint32_t size) override;

 private:
  SystemErrorCode lastError_ = 50;  // ERROR_NOT_SUPPORTED: the logon's fixed reason
};

class LinuxLocaleApi final : public LocaleApi {
 public:
  LocaleId GetThreadLocale() override;
  int GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) override;
  bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) override;
  int GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                     const char* format, char* buffer, int size) override;
};

class LinuxCaseMapping final : public CaseMapping {
 public:
  std::uint32_t CharUpperBuffA(char* text, std::uint32_t length) override;
};

class LinuxNetworkApi final : public NetworkApi {
 public:
  SystemErrorCode WNetAddConnection2A(const NetResource& resource, const char* password,
                                      const char* user, std::uint32_t flags) override;
  SystemErrorCode WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                         bool force) override;
};

class LinuxOutputFile final : public OutputFile {
 public:
  SystemErrorCode ReplaceFile(std::string_view path, std::string_view bytes) override;
};

// Every wait of the scheduler objects ends by the check's deadline (SetCheckDeadline), so
// the check itself reports the time-out after its normal clean-up; the watchdog, a thread
// of its own, is the backstop for a wait that does not, a moment after the deadline, and
// for a write of the output that does not end, a moment later. The watchdog itself never
// writes: when it claims the output, a writer thread of its own writes it.
class LinuxDeadlineTimer final : public DeadlineTimer {
 public:
  LinuxDeadlineTimer() = default;
  LinuxDeadlineTimer(const LinuxDeadlineTimer&) = delete;
  LinuxDeadlineTimer& operator=(const LinuxDeadlineTimer&) = delete;
  ~LinuxDeadlineTimer() override;  // stops the watchdog that has not fired
  TimePoint StartDeadline(std::chrono::seconds limit, int unwrittenStatus,
                          std::function<int()> writeTimedOut) override;
  bool DeadlinePassed() override;
  bool ClaimOutput() override;
  bool OutputWritten() override;

  // Who holds the output.
  enum class Output { Open, CheckWriting, WatchdogWriting, Written, GivenUp };

 private:
  void Watch();
  // Waits until then or until the timer is stopped; true when stopped.
  bool StoppedBefore(TimePoint then);
  void WriteTimedOut();

  TimePoint deadline_ = TimePoint::max();
  int unwrittenStatus_ = 0;
  std::function<int()> writeTimedOut_;
  std::atomic<Output> output_{Output::Open};
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;  // guarded by mutex_
  std::thread watchdog_;
};

}  // namespace runwarden
