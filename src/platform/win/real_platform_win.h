#pragma once
// The Windows implementations of the platform interfaces.

#include <atomic>
#include <cstdint>

#include "platform/platform.h"

namespace runwarden {

class WindowsClock final : public Clock {
 public:
  SystemTime GetLocalTime() override;
  std::int64_t GetUnixTime() override;
};

class WindowsTimeZone final : public TimeZone {
 public:
  bool GetStandardBias(std::int32_t* biasMinutes) override;
  bool LocalToUnixTime(const SystemTime& local, std::int64_t* unixTime) override;
};

class WindowsConsole final : public Console {
 public:
  void WriteLine(std::string_view line) override;
  void WriteCp437Line(std::string_view line) override;
  SystemErrorCode Write(std::string_view bytes) override;
  void WriteErrorLine(std::string_view line) override;
  std::string_view LineEnd() override;
};

class WindowsComRuntime final : public ComRuntime {
 public:
  HResult CoInitialize() override;
  void CoUninitialize() override;
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskScheduler** object) override;
  HResult CoCreateInstance(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                           const Guid& iid, ITaskService** object) override;
};

class WindowsWideText final : public WideText {
 public:
  int MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* bytes,
                          int byteCount, char16_t* buffer, int capacity) override;
  int WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const char16_t* units,
                          int unitCount, char* buffer, int capacity) override;
  std::uint32_t AnsiCodePage() override;
};

class WindowsLogonApi final : public LogonApi {
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
};

class WindowsLocaleApi final : public LocaleApi {
 public:
  LocaleId GetThreadLocale() override;
  int GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) override;
  bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) override;
  int GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                     const char* format, char* buffer, int size) override;
};

class WindowsCaseMapping final : public CaseMapping {
 public:
  std::uint32_t CharUpperBuffA(char* text, std::uint32_t length) override;
};

class WindowsNetworkApi final : public NetworkApi {
 public:
  SystemErrorCode WNetAddConnection2A(const NetResource& resource, const char* password,
                                      const char* user, std::uint32_t flags) override;
  SystemErrorCode WNetCancelConnection2A(const char* name, std::uint32_t flags,
                                         bool force) override;
};

class WindowsOutputFile final : public OutputFile {
 public:
  SystemErrorCode ReplaceFile(std::string_view path, std::string_view bytes) override;
};

// COM, RPC to another computer, the logon and the network connection take no deadline from
// the check, so at the deadline the watchdog, a thread of its own, has the timed-out output
// written and ends the process, whatever the check's own thread is waiting for; an output
// whose writing does not end a moment later, the check's or its own, it gives up. The
// watchdog itself never writes: when it claims the output, a writer thread writes it.
class WindowsDeadlineTimer final : public DeadlineTimer {
 public:
  TimePoint StartDeadline(std::chrono::seconds limit, int unwrittenStatus,
                          std::function<int()> writeTimedOut) override;
  bool DeadlinePassed() override;
  bool ClaimOutput() override;
  bool OutputWritten() override;

  // Who holds the output.
  enum class Output { Open, CheckWriting, WatchdogWriting, Written, GivenUp };

 private:
  void Watch();
  void WriteTimedOut();

  std::uint64_t deadlineTicks_ = UINT64_MAX;  // GetTickCount64 milliseconds
  int unwrittenStatus_ = 0;
  std::function<int()> writeTimedOut_;
  std::atomic<Output> output_{Output::Open};
};

}  // namespace runwarden
