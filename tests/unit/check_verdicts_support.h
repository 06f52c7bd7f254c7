#pragma once
// One check on a fresh fake, judged and written in the default form, with the scenarios
// that set a task's state alike through Task Scheduler 1.0 and 2.0: shared by the tests of
// the verdicts.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/check/check_run.h"
#include "core/report/report_forms.h"
#include "fakes/fake_platform.h"

namespace runwarden::verdicts_test {

using testing::FakePlatform;
using Arguments = std::vector<std::string>;
using Calls = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

inline SystemTime At(std::uint16_t day, std::uint16_t hour, std::uint16_t minute = 0) {
  return {2026, 12, 0, day, hour, minute, 0, 0};
}

// Monday 7 December 2026, noon; the task last ran at 2:00, 600 minutes before.
inline const SystemTime kNow = At(7, 12);
inline const SystemTime kTwoToday = At(7, 2);
inline const std::string kTwo = "12/7/26 2:00:00 am";
inline const std::string kV1Task = "-task:Backup";
inline const std::string kV2Task = "-task:\\Backup\\Nightly";

inline std::string Ok(const std::string& text) { return "ScriptRes:Ok:" + text; }
inline std::string Bad(const std::string& text) { return "ScriptRes:Bad:" + text; }
inline std::string Unknown(const std::string& text) { return "ScriptRes:Unknown:" + text; }

inline long CountOf(const Calls& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

// One check on a fresh fake, its record and its line in the default form. through2: the
// task is one that only Task Scheduler 2.0 knows.
struct Verdict {
  Verdict(Arguments arguments, const Scenario& setup, bool through2 = false) {
    fake.clockReadings = {kNow};
    fake.lastRunTime = kTwoToday;
    fake.registeredLastRun = DateTimeFromSystemTime(kTwoToday);
    if (through2) fake.KnowTasksOnlyThrough2(static_cast<HResult>(0x80070003));
    if (setup) setup(fake);
    outcome = JudgeCheck(arguments, fake.platform(), RegionalSettings{}, SystemLeadBytes{});
    const ReportOutput output = RenderReport(ReportFormat::ScriptRes, outcome.report, outcome.facts);
    line = output.lines.back();
  }
  const CheckReport& report() const { return outcome.report; }

  FakePlatform fake;
  CheckOutcome outcome;
  std::string line;
};

inline Arguments With(Arguments arguments, const Arguments& extra) {
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return arguments;
}

// A task's state set alike through either interface.
inline Scenario Running() {
  return [](FakePlatform& f) {
    f.taskStatus = 0x41301;
    f.registeredState = 4;
  };
}
inline Scenario Disabled() {
  return [](FakePlatform& f) {
    f.taskFlags = 0x4;
    f.registeredEnabled = false;
  };
}
inline Scenario ExitCode(std::uint32_t code) {
  return [code](FakePlatform& f) {
    f.exitCode = code;
    f.lastTaskResult = static_cast<std::int32_t>(code);
  };
}
inline Scenario Both(Scenario a, Scenario b) {
  return [a, b](FakePlatform& f) {
    if (a) a(f);
    if (b) b(f);
  };
}

}  // namespace runwarden::verdicts_test
