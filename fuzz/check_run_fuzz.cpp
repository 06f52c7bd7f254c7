// A whole check, from arguments to result line, against the fake platform with random
// answers and task lists: exactly one result line, last, with the prefix of the returned
// status (in the plugins' form its status word, one "|" at most and no help before it,
// then a status line per task of a pattern); help only before an Unknown line; every
// scheduler object released, COM shut down as often as it started, a logon token always
// closed; the password never in the output. With -version, the version line alone instead.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/check_run.h"
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
  fake.clockReadings.clear();
  const int readings = input.ConsumeIntegralInRange(1, 4);
  for (int i = 0; i < readings; ++i) fake.clockReadings.push_back(SomeTime(input));
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
  // A listed name may hold the secret itself; the output then shows a name, not a password.
  bool secretElsewhere = std::any_of(fake.listedTasks.begin(), fake.listedTasks.end(),
                                     [](const std::string& name) {
                                       return name.find(kSecret) != std::string::npos;
                                     }) ||
                         fake.folderTasks.begin()->second.front().find(kSecret) != std::string::npos;
  for (int i = 0; i < count; ++i) {
    arguments.push_back(input.ConsumeRandomLengthString(64));
    secretElsewhere = secretElsewhere || arguments.back().find(kSecret) != std::string::npos;
  }
  if (givePassword) {
    arguments.insert(arguments.begin() + input.ConsumeIntegralInRange<std::ptrdiff_t>(0, count),
                     std::string("-pswd:") + kSecret);
  }
  if (input.ConsumeBool()) {
    arguments.insert(arguments.begin() + input.ConsumeIntegralInRange<std::ptrdiff_t>(
                                             0, static_cast<std::ptrdiff_t>(arguments.size())),
                     "-format:nagios");
  }

  const int code = RunCheck(arguments, fake.platform(), RegionalSettings{}, {});

  FUZZ_CHECK(!fake.output.empty());
  for (const std::string& line : fake.output) {
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
  }
  const std::string& result = fake.output.back();
  if (fake.output.front().rfind("runwarden ", 0) == 0) {
    // -version: that line alone, status 0, no scheduler reached.
    FUZZ_CHECK(fake.output == std::vector<std::string>{"runwarden " RUNWARDEN_VERSION});
    FUZZ_CHECK(code == 0);
    FUZZ_CHECK(Count(fake.calls, "CoInitialize") == 0);
  } else if (fake.output.front().rfind("TASK ", 0) == 0) {
    const std::string& summary = fake.output.front();
    static const char* const kWords[] = {"TASK OK - ", "", "TASK CRITICAL - ", "TASK UNKNOWN - "};
    FUZZ_CHECK(code == 0 || code == 2 || code == 3);
    FUZZ_CHECK(summary.rfind(kWords[code], 0) == 0);
    const std::size_t bar = summary.find('|');
    FUZZ_CHECK(bar == std::string::npos || (summary.compare(bar - 1, 3, " | ") == 0 &&
                                            summary.find('|', bar + 1) == std::string::npos));
    // The long output: a line per task, each with its status word and no "|".
    for (std::size_t i = 1; i < fake.output.size(); ++i) {
      const std::string& line = fake.output[i];
      FUZZ_CHECK(line.rfind("OK - ", 0) == 0 || line.rfind("CRITICAL - ", 0) == 0 ||
                 line.rfind("UNKNOWN - ", 0) == 0);
      FUZZ_CHECK(line.find('|') == std::string::npos);
    }
  } else {
    FUZZ_CHECK(code >= 0 && code <= 2);
    static const char* const kPrefixes[] = {"ScriptRes:Ok:", "ScriptRes:Bad:", "ScriptRes:Unknown:"};
    FUZZ_CHECK(result.rfind(kPrefixes[code], 0) == 0);
    for (std::size_t i = 0; i + 1 < fake.output.size(); ++i) {
      FUZZ_CHECK(fake.output[i].rfind("ScriptRes:", 0) != 0);
    }
    if (fake.output.size() > 1) FUZZ_CHECK(code == static_cast<int>(CheckStatus::Unknown));
  }
  if (!secretElsewhere) {
    for (const std::string& line : fake.output) FUZZ_CHECK(line.find(kSecret) == std::string::npos);
  }
  FUZZ_CHECK(fake.liveObjects == 0);
  FUZZ_CHECK(Count(fake.calls, "CoInitialize") == Count(fake.calls, "CoUninitialize"));
  FUZZ_CHECK(Count(fake.calls, "ImpersonateLoggedOnUser") == Count(fake.calls, "CloseHandle"));
  return 0;
}
