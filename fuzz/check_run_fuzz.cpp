// A whole check, from arguments to result line, against the fake platform with random
// answers and task lists: exactly one result line, last, with the prefix of the returned
// status (in the plugins' form its status word, one "|" at most and no help before it,
// then a status line per task of a pattern); help only before an Unknown line; every
// scheduler object released, COM shut down as often as it started, a logon token always
// closed; the password never in the output. Maybe on a system of a double-byte code page
// (932's lead bytes), in the plugins' form, the exposition or the JSON document, and into
// an output file that may fail: every form but the default one is valid UTF-8, the
// plugins' form has no "|" before its separator, every exposition line is a help, a type
// or a well-formed series, the document is valid JSON, and the outcome they show is the
// exit status's. With -version, the version line alone instead.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "core/check/check_run.h"
#include "core/report/utf8_text.h"
#include "fakes/fake_platform.h"
#include "fuzz_check.h"

using namespace runwarden;
using runwarden::testing::FakePlatform;

namespace {

constexpr char kSecret[] = "Zq7-secret-Pw";

HResult SomeResult(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 3)) {
    case 0: return 0;
    case 1: return 1;  // a success code other than 0
    case 2: return static_cast<HResult>(0x80070002);
    default: return input.ConsumeIntegral<HResult>();
  }
}

// Mostly a plausible recent time, sometimes any sixteen bytes.
SystemTime SomeTime(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) {
    SystemTime time;
    for (std::uint16_t* field : {&time.wYear, &time.wMonth, &time.wDayOfWeek, &time.wDay,
                                 &time.wHour, &time.wMinute, &time.wSecond, &time.wMilliseconds}) {
      *field = input.ConsumeIntegral<std::uint16_t>();
    }
    return time;
  }
  return {input.ConsumeIntegralInRange<std::uint16_t>(2024, 2027),
          input.ConsumeIntegralInRange<std::uint16_t>(1, 12),
          0,
          input.ConsumeIntegralInRange<std::uint16_t>(1, 28),
          input.ConsumeIntegralInRange<std::uint16_t>(0, 23),
          input.ConsumeIntegralInRange<std::uint16_t>(0, 59),
          input.ConsumeIntegralInRange<std::uint16_t>(0, 59),
          input.ConsumeIntegralInRange<std::uint16_t>(0, 999)};
}

void ScriptAnswers(FuzzedDataProvider& input, FakePlatform& fake) {
  fake.coInitializeResult = input.ConsumeIntegralInRange(0, 7) == 0 ? SomeResult(input) : 0;
  fake.coCreateInstanceResult = SomeResult(input);
  fake.coCreateInstanceStoresObject = input.ConsumeBool();
  fake.setTargetComputerResult = SomeResult(input);
  fake.activateResult = SomeResult(input);
  fake.activateStoresObject = input.ConsumeBool();
  fake.lastRunTime = SomeTime(input);
  fake.fillLastRunTime = input.ConsumeBool();
  fake.exitCode = input.ConsumeBool() ? 0 : input.ConsumeIntegral<std::uint32_t>();
  fake.fillExitCode = input.ConsumeBool();
  fake.logonSucceeds = input.ConsumeBool();
  fake.impersonateSucceeds = input.ConsumeBool();
  fake.lastError = input.ConsumeIntegral<SystemErrorCode>();
  fake.systemMessage = input.ConsumeRandomLengthString(600);
  fake.connectionResults = {input.ConsumeIntegral<SystemErrorCode>()};
  fake.timeZoneReadable = input.ConsumeBool();
  fake.standardBias = input.ConsumeIntegralInRange(-24 * 60, 24 * 60);
  const int listed = input.ConsumeIntegralInRange(0, 5);
  for (int i = 0; i < listed; ++i) fake.listedTasks.push_back(input.ConsumeRandomLengthString(16));
  fake.enumResult = input.ConsumeBool() ? 0 : SomeResult(input);
  fake.nextFailsAfter = input.ConsumeIntegralInRange<std::size_t>(0, 6);
  fake.serviceCreateResult = input.ConsumeBool() ? 0 : static_cast<HResult>(0x80040154);
  fake.folderTasks = {{"\\", {input.ConsumeRandomLengthString(16)}}};
  // A task's state, and a folder below the root for trees.
  fake.taskStatus = input.ConsumeBool() ? 0x41300 : SomeResult(input);
  fake.taskFlags = input.ConsumeIntegral<std::uint32_t>();
  fake.nextRunResult = SomeResult(input);
  fake.nextRunTime = SomeTime(input);
  fake.registeredState = input.ConsumeIntegralInRange(0, 5);
  fake.registeredEnabled = input.ConsumeBool();
  fake.registeredNextRun = input.ConsumeFloatingPoint<double>();
  fake.subfolders = {{"\\", {input.ConsumeRandomLengthString(8)}}};
  fake.clockReadings.clear();
  const int readings = input.ConsumeIntegralInRange(1, 4);
  for (int i = 0; i < readings; ++i) fake.clockReadings.push_back(SomeTime(input));
}

constexpr char kOutFile[] = "C:\\metrics\\rw.prom";

// JSON's grammar, strictly: a value at text[at], at moved past it.
bool JsonValue(std::string_view text, std::size_t& at, int depth = 0);

bool JsonString(std::string_view text, std::size_t& at) {
  if (at >= text.size() || text[at++] != '"') return false;
  while (at < text.size()) {
    const auto c = static_cast<unsigned char>(text[at++]);
    if (c == '"') return true;
    if (c < 0x20) return false;
    if (c != '\\') continue;
    if (at >= text.size()) return false;
    const char escaped = text[at++];
    if (escaped == 'u') {
      for (int i = 0; i < 4; ++i) {
        if (at >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[at++]))) return false;
      }
    } else if (std::string_view("\"\\/bfnrt").find(escaped) == std::string_view::npos) {
      return false;
    }
  }
  return false;
}

// Members or items up to the closing bracket, separated by commas.
bool JsonList(std::string_view text, std::size_t& at, char close, bool members, int depth) {
  if (at < text.size() && text[at] == close) return ++at, true;
  while (true) {
    if (members && (!JsonString(text, at) || at >= text.size() || text[at++] != ':')) return false;
    if (!JsonValue(text, at, depth + 1) || at >= text.size()) return false;
    const char next = text[at++];
    if (next == close) return true;
    if (next != ',') return false;
  }
}

bool JsonValue(std::string_view text, std::size_t& at, int depth) {
  if (at >= text.size() || depth > 16) return false;
  switch (text[at]) {
    case '{': return JsonList(text, ++at, '}', true, depth);
    case '[': return JsonList(text, ++at, ']', false, depth);
    case '"': return JsonString(text, at);
    default: break;
  }
  const std::size_t start = at;
  if (text[at] == '-') ++at;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  const std::string_view digits = text.substr(start, at - start);
  return !digits.empty() && digits != "-" && !(digits.size() > 1 && digits[digits.front() == '-'] == '0');
}

// "# HELP name text", "# TYPE name gauge", "# unknown: text", or
// name{label="value",...} integer, where a value holds no quote, backslash or line feed but
// escaped.
bool ExpositionLine(std::string_view line) {
  if (line.rfind("# HELP runwarden_", 0) == 0) return true;
  if (line.rfind("# unknown: ", 0) == 0) return line.find_first_of("\r\n") == std::string_view::npos;
  if (line.rfind("# TYPE runwarden_", 0) == 0) return line.ends_with(" gauge");
  std::size_t at = 0;
  while (at < line.size() && (std::islower(static_cast<unsigned char>(line[at])) || line[at] == '_')) ++at;
  if (at == 0 || at >= line.size() || line[at++] != '{') return false;
  while (true) {
    const std::size_t name = at;
    while (at < line.size() && std::islower(static_cast<unsigned char>(line[at]))) ++at;
    if (at == name || line.compare(at, 2, "=\"") != 0) return false;
    for (at += 2; at < line.size() && line[at] != '"'; ++at) {
      if (line[at] == '\n') return false;
      if (line[at] == '\\' && (++at >= line.size() || std::string_view("\\\"n").find(line[at]) == std::string_view::npos)) {
        return false;
      }
    }
    if (++at >= line.size()) return false;
    if (line[at] == '}') break;
    if (line[at++] != ',') return false;
  }
  std::size_t value = at + 2;
  if (line.compare(at, 2, "} ") != 0 || value >= line.size()) return false;
  if (line[value] == '-') ++value;
  return value < line.size() &&
         line.find_first_not_of("0123456789", value) == std::string_view::npos;
}

std::vector<std::string> LinesOf(std::string_view bytes) {
  std::vector<std::string> lines;
  for (std::size_t end = bytes.find('\n'); end != std::string_view::npos; end = bytes.find('\n')) {
    std::string_view line = bytes.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    bytes.remove_prefix(end + 1);
  }
  return lines;
}

// The outcome a machine-read form names, as the default form's exit status.
int StatusCode(std::string_view name) {
  if (name == "ok" || name == "warning") return 0;
  return name == "bad" ? 1 : 2;
}

std::size_t Count(const std::vector<std::string>& calls, std::string_view prefix) {
  return static_cast<std::size_t>(std::count_if(calls.begin(), calls.end(), [&](const std::string& call) {
    return call.compare(0, prefix.size(), prefix) == 0;
  }));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FakePlatform fake;
  ScriptAnswers(input, fake);
  const bool givePassword = input.ConsumeBool();
  std::vector<std::string> arguments;
  const int count = input.ConsumeIntegralInRange(0, 8);
  // A listed name or a system text may hold the secret itself; the output then shows that,
  // not a password.
  bool secretElsewhere = std::any_of(fake.listedTasks.begin(), fake.listedTasks.end(),
                                     [](const std::string& name) {
                                       return name.find(kSecret) != std::string::npos;
                                     }) ||
                         fake.folderTasks.begin()->second.front().find(kSecret) != std::string::npos ||
                         fake.systemMessage.find(kSecret) != std::string::npos;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(input.ConsumeRandomLengthString(64));
    secretElsewhere = secretElsewhere || arguments.back().find(kSecret) != std::string::npos;
  }
  if (givePassword) {
    arguments.insert(arguments.begin() + input.ConsumeIntegralInRange<std::ptrdiff_t>(0, count),
                     std::string("-pswd:") + kSecret);
  }
  // Options that random text seldom spells: the plugins' form, the later keys, a tree.
  for (const char* option : {"-format:nagios", "-checkstate", "-maxrun:1", "-okcodes:1-9,0x80000000",
                             "-warnframe:60", "-task:\\**"}) {
    if (!input.ConsumeBool()) continue;
    arguments.insert(arguments.begin() + input.ConsumeIntegralInRange<std::ptrdiff_t>(
                                             0, static_cast<std::ptrdiff_t>(arguments.size())),
                     option);
  }
  // Another form, last so that it stands.
  static const char* const kForms[] = {"", "-format:prometheus", "-format:json"};
  const char* form = kForms[input.ConsumeIntegralInRange(0, 2)];
  if (*form != '\0') arguments.push_back(form);
  // A system of code page 932: names whose trail bytes may be "|" or "\\".
  SystemLeadBytes leadBytes;
  if (input.ConsumeBool()) {
    fake.ansiCodePage = 932;
    fake.anyDoubleByteCharacter = true;
    fake.codePages[kAnsiCodePage] = {2, {0x81, 0x9F, 0xE0, 0xFC}};
    for (int byte = 0x81; byte <= 0xFC; ++byte) leadBytes.bytes.set(byte, byte <= 0x9F || byte >= 0xE0);
  }
  if (input.ConsumeBool()) {
    arguments.push_back(std::string("-outfile:") + kOutFile);
    fake.replaceFileResult = input.ConsumeBool() ? 0 : 3;
  }

  const int code = RunCheck(arguments, fake.platform(), RegionalSettings{}, leadBytes);

  // What a reader of the result sees: the console's lines, then the file's.
  std::vector<std::string> lines = fake.output;
  std::string resultBytes = fake.written;
  // At most one file, ours or one that a random -outfile: named.
  FUZZ_CHECK(fake.files.size() <= 1);
  for (const auto& [path, bytes] : fake.files) {
    resultBytes = bytes;
    for (std::string& line : LinesOf(bytes)) lines.push_back(std::move(line));
  }
  FUZZ_CHECK(!lines.empty());
  // A label value of the exposition may hold a CR, which the format does not escape.
  const bool exposition =
      lines.front().rfind("# HELP ", 0) == 0 || lines.front().rfind("# unknown: ", 0) == 0;
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find_first_of(exposition ? "\n" : "\r\n") == std::string::npos);
  }
  const std::string& result = lines.back();
  // The plugins' form keeps the bytes of a system whose texts are UTF-8 already (Linux).
  const bool machineForm = exposition || lines.front().rfind("{", 0) == 0;
  const bool converted = lines.front().rfind("TASK ", 0) == 0 && fake.ansiCodePage != kUtf8CodePage;
  if (machineForm || converted) FUZZ_CHECK(ValidUtf8(resultBytes) == resultBytes);
  if (lines.front().rfind("runwarden ", 0) == 0) {
    // -version: that line alone, status 0, no scheduler reached.
    FUZZ_CHECK(lines == std::vector<std::string>{"runwarden " RUNWARDEN_VERSION});
    FUZZ_CHECK(code == 0);
    FUZZ_CHECK(Count(fake.calls, "CoInitialize") == 0);
  } else if (exposition) {
    FUZZ_CHECK(code >= 0 && code <= 2);
    FUZZ_CHECK(resultBytes.find("\r\n") == std::string::npos);
    std::size_t outcomes = 0;
    for (const std::string& line : lines) {
      FUZZ_CHECK(ExpositionLine(line));
      if (line.rfind("runwarden_check_status{", 0) == 0 && line.ends_with("} 1")) {
        const std::size_t status = line.rfind(",status=\"") + 9;
        FUZZ_CHECK(StatusCode(line.substr(status, line.size() - 4 - status)) == code);
        ++outcomes;
      }
    }
    FUZZ_CHECK(outcomes == 1);
  } else if (lines.front().rfind("{", 0) == 0) {
    FUZZ_CHECK(lines.size() == 1);
    std::size_t at = 0;
    FUZZ_CHECK(JsonValue(result, at) && at == result.size());
    FUZZ_CHECK(result.rfind("{\"status\":\"", 0) == 0);
    FUZZ_CHECK(StatusCode(result.substr(11, result.find('"', 11) - 11)) == code);
  } else if (lines.front().rfind("TASK ", 0) == 0) {
    const std::string& summary = lines.front();
    static const char* const kWords[] = {"OK - ", "WARNING - ", "CRITICAL - ", "UNKNOWN - "};
    FUZZ_CHECK(code >= 0 && code <= 3);
    FUZZ_CHECK(summary.rfind(std::string("TASK ") + kWords[code], 0) == 0);
    const std::size_t bar = summary.find('|');
    FUZZ_CHECK(bar == std::string::npos || (summary.compare(bar - 1, 3, " | ") == 0 &&
                                            summary.find('|', bar + 1) == std::string::npos));
    // The long output: a line per task, each with its status word and no "|".
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const std::string& line = lines[i];
      FUZZ_CHECK(std::any_of(std::begin(kWords), std::end(kWords),
                             [&](const char* word) { return line.rfind(word, 0) == 0; }));
      FUZZ_CHECK(line.find('|') == std::string::npos);
    }
  } else {
    FUZZ_CHECK(code >= 0 && code <= 2);
    static const char* const kPrefixes[] = {"ScriptRes:Ok:", "ScriptRes:Bad:", "ScriptRes:Unknown:"};
    FUZZ_CHECK(result.rfind(kPrefixes[code], 0) == 0);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
      FUZZ_CHECK(lines[i].rfind("ScriptRes:", 0) != 0);
    }
    if (lines.size() > 1) FUZZ_CHECK(code == static_cast<int>(CheckStatus::Unknown));
  }
  if (!secretElsewhere) {
    for (const std::string& line : lines) FUZZ_CHECK(line.find(kSecret) == std::string::npos);
  }
  FUZZ_CHECK(fake.liveObjects == 0);
  FUZZ_CHECK(Count(fake.calls, "CoInitialize") == Count(fake.calls, "CoUninitialize"));
  FUZZ_CHECK(Count(fake.calls, "ImpersonateLoggedOnUser") == Count(fake.calls, "CloseHandle"));
  return 0;
}
