#include "fakes/fake_platform.h"

#include <algorithm>
#include <cstring>

#include "platform/linux/real_platform_linux.h"

namespace runwarden::testing {

std::string GuidName(const Guid& guid) {
  if (guid == CLSID_CTaskScheduler) return "CLSID_CTaskScheduler";
  if (guid == IID_ITaskScheduler) return "IID_ITaskScheduler";
  if (guid == IID_ITask) return "IID_ITask";
  if (guid == CLSID_TaskScheduler) return "CLSID_TaskScheduler";
  if (guid == IID_ITaskService) return "IID_ITaskService";
  return "unknown GUID";
}

std::string FakePlatform::Narrow(std::u16string_view text) {
  std::string narrow;
  for (const char16_t unit : text) {
    if (unit <= 0xFF) {
      narrow += static_cast<char>(unit);
    } else if (unit < 0x800) {
      narrow += static_cast<char>(0xC0 | (unit >> 6));
      narrow += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      narrow += static_cast<char>(0xE0 | (unit >> 12));
      narrow += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      narrow += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return narrow;
}

std::string FakePlatform::Utf8(std::u16string_view text) { return Utf8FromUtf16(text); }


// Objects the code under test failed to release are freed with objects_, so that the
// sanitizers report the test's own findings, not this fake's.
FakePlatform::FakePlatform()
    : platform_{*this, *this, *this, *this, *this, *this, *this, *this, *this, *this, *this} {}

FakePlatform::~FakePlatform() = default;


HResult FakePlatform::CoInitialize() {
  calls.push_back("CoInitialize");
  return coInitializeResult;
}

void FakePlatform::CoUninitialize() { calls.push_back("CoUninitialize"); }

namespace {

std::string CreationCall(const Guid& clsid, CountedObject* outer, std::uint32_t context,
                         const Guid& iid) {
  return "CoCreateInstance(" + GuidName(clsid) + ", " + (outer ? "outer" : "null") + ", " +
         std::to_string(context) + ", " + GuidName(iid) + ")";
}

}  // namespace

HResult FakePlatform::CoCreateInstance(const Guid& clsid, CountedObject* outer,
                                       std::uint32_t context, const Guid& iid,
                                       ITaskScheduler** object) {
  calls.push_back(CreationCall(clsid, outer, context, iid));
  if (coCreateInstanceStoresObject && (coCreateInstanceResult >= 0)) {
    HandOut<FakeScheduler>(object);
  }
  return coCreateInstanceResult;
}

HResult FakePlatform::CoCreateInstance(const Guid& clsid, CountedObject* outer,
                                       std::uint32_t context, const Guid& iid,
                                       ITaskService** object) {
  calls.push_back(CreationCall(clsid, outer, context, iid));
  if (serviceCreateResult >= 0) HandOut<FakeTaskService>(object);
  return serviceCreateResult;
}

void FakePlatform::SetRemoteLogin(std::string_view userName) {
  calls.push_back("SetRemoteLogin(" + std::string(userName) + ")");
}

void FakePlatform::SetCheckDeadline(std::chrono::steady_clock::time_point deadline) {
  using std::chrono::seconds;
  const seconds sinceEpoch = std::chrono::duration_cast<seconds>(deadline.time_since_epoch());
  calls.push_back("SetCheckDeadline(" + std::to_string(sinceEpoch.count()) + ")");
}

HResult FakePlatform::SetUserManager(std::string_view user) {
  calls.push_back("SetUserManager(" + std::string(user) + ")");
  return setUserManagerResult;
}

void FakePlatform::RequestTaskValues(const TaskValueRequest& values) {
  std::string asked;
  if (values.runningState) asked = "running";
  if (values.scheduleState) asked += asked.empty() ? "schedule" : ", schedule";
  calls.push_back("RequestTaskValues(" + asked + ")");
}

int FakePlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags,
                                      const char* bytes, int byteCount, char16_t* buffer,
                                      int capacity) {
  calls.push_back("MultiByteToWideChar(" + std::to_string(codePage) + ", " +
                  std::to_string(flags) + ", " + std::to_string(byteCount) + ", " +
                  std::to_string(capacity) + ")");
  const auto system = codePages.find(kAnsiCodePage);
  const auto isLeadByte = [&](unsigned char byte) {
    if (!anyDoubleByteCharacter || system == codePages.end()) return false;
    const std::uint8_t* range = system->second.LeadByte;
    for (int r = 0; r < 12 && range[r] != 0; r += 2) {
      if (byte >= range[r] && byte <= range[r + 1]) return true;
    }
    return false;
  };
  int units = 0;
  for (int i = 0; i < byteCount; ++i, ++units) {
    if (units == capacity) return 0;
    const auto known = i + 1 < byteCount ? doubleByteCharacters.find(std::string(bytes + i, 2))
                                         : doubleByteCharacters.end();
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (known != doubleByteCharacters.end()) {
      buffer[units] = known->second;
      ++i;
    } else if (i + 1 < byteCount && isLeadByte(lead)) {
      const auto trail = static_cast<unsigned char>(bytes[++i]);
      buffer[units] = static_cast<char16_t>(0x4E00 + (((lead & 0x7F) << 8) | trail) % 0x5000);
    } else {
      buffer[units] = static_cast<unsigned char>(bytes[i]);
    }
  }
  return units;
}

int FakePlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags,
                                      const char16_t* units, int unitCount, char* buffer,
                                      int capacity) {
  calls.push_back("WideCharToMultiByte(" + std::to_string(codePage) + ", " +
                  std::to_string(flags) + ", " + std::to_string(unitCount) + ", " +
                  std::to_string(capacity) + ")");
  const std::u16string_view text(units, static_cast<std::size_t>(unitCount));
  const std::string narrow = codePage == kUtf8CodePage ? Utf8(text) : Narrow(text);
  if (narrow.size() > static_cast<std::size_t>(capacity)) return 0;
  std::memcpy(buffer, narrow.data(), narrow.size());
  return static_cast<int>(narrow.size());
}

std::uint32_t FakePlatform::AnsiCodePage() {
  localeCalls.push_back("GetACP");
  return ansiCodePage;
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

bool FakePlatform::CredReadW(const char16_t* target, std::uint32_t type,
                             StoredCredential* credential) {
  calls.push_back("CredReadW(" + Narrow(target) + ", " + std::to_string(type) + ")");
  const auto stored = storedCredentials.find(target);
  if (stored == storedCredentials.end()) {
    lastError = credentialError;
    return false;
  }
  *credential = stored->second;
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

std::int64_t FakePlatform::GetUnixTime() {
  calls.push_back("GetSystemTimeAsFileTime");
  return unixTime;
}

namespace {

// Days from 1970-01-01 to a Gregorian date (H. Hinnant's days_from_civil).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yoe = static_cast<unsigned>(year - era * 400);                    // [0, 399]
  const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;  // [0, 365]
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;                  // [0, 146096]
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

}  // namespace

bool FakePlatform::LocalToUnixTime(const SystemTime& local, std::int64_t* seconds) {
  calls.push_back("TzSpecificLocalTimeToSystemTime(" + std::to_string(local.wYear) + "-" +
                  std::to_string(local.wMonth) + "-" + std::to_string(local.wDay) + " " +
                  std::to_string(local.wHour) + ":" + std::to_string(local.wMinute) + ":" +
                  std::to_string(local.wSecond) + ")");
  if (!localTimesConvert) return false;
  *seconds = DaysFromCivil(local.wYear, local.wMonth, local.wDay) * 86400 +
              local.wHour * 3600 + local.wMinute * 60 + local.wSecond + standardBias * 60;
  return true;
}

bool FakePlatform::GetStandardBias(std::int32_t* biasMinutes) {
  calls.push_back("GetTimeZoneInformation");
  if (timeZoneReadable) *biasMinutes = standardBias;
  return timeZoneReadable;
}

void FakePlatform::WriteLine(std::string_view line) {
  output.emplace_back(line);
  written += std::string(line) + std::string(lineEnd);
}

void FakePlatform::WriteCp437Line(std::string_view line) {
  output.push_back("cp437:" + std::string(line));
}

SystemErrorCode FakePlatform::Write(std::string_view bytes) {
  if (writeResult != 0) return writeResult;
  written += bytes;
  for (std::size_t end = bytes.find('\n'); end != std::string_view::npos; end = bytes.find('\n')) {
    std::string_view line = bytes.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    output.emplace_back(line);
    bytes.remove_prefix(end + 1);
  }
  return 0;
}

void FakePlatform::WriteErrorLine(std::string_view line) { errorLines.emplace_back(line); }

std::string_view FakePlatform::LineEnd() { return lineEnd; }

SystemErrorCode FakePlatform::ReplaceFile(std::string_view path, std::string_view bytes) {
  calls.push_back("ReplaceFile(" + std::string(path) + ")");
  if (replaceFileResult == 0) files[std::string(path)] = bytes;
  return replaceFileResult;
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

bool FakePlatform::Recorded(const std::string& prefix) const {
  return !prefix.empty() && std::any_of(calls.begin(), calls.end(), [&](const std::string& call) {
           return call.rfind(prefix, 0) == 0;
         });
}

DeadlineTimer::TimePoint FakePlatform::StartDeadline(std::chrono::seconds limit,
                                                     int unwrittenStatus,
                                                     std::function<int()> writeTimedOut) {
  calls.push_back("StartDeadline(" + std::to_string(limit.count()) + ")");
  writeTimedOut_ = std::move(writeTimedOut);
  unwrittenStatus_ = unwrittenStatus;
  return TimePoint(limit);
}

bool FakePlatform::DeadlinePassed() {
  const bool passed = Recorded(deadlinePassesAfter);
  calls.push_back(passed ? "DeadlinePassed=true" : "DeadlinePassed=false");
  return passed;
}

bool FakePlatform::ClaimOutput() {
  calls.push_back("ClaimOutput");
  if (!Recorded(watchdogFiresIn)) return true;
  calls.push_back("EndProcess(" + std::to_string(writeTimedOut_()) + ")");
  return false;
}

bool FakePlatform::OutputWritten() {
  if (!writeHangs) return true;
  calls.push_back("EndProcess(" + std::to_string(unwrittenStatus_) + ")");
  return false;
}

}  // namespace runwarden::testing
