#pragma once
// One whole check run on a fresh fake platform, and what every run must leave behind: shared
// by the tests of the check run.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/check/check_run.h"
#include "fakes/fake_platform.h"

namespace runwarden::check_run_test {

using testing::FakePlatform;
using Arguments = std::vector<std::string>;
using Calls = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

inline SystemTime At(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
              std::uint16_t minute = 0, std::uint16_t second = 0) {
  return {year, month, 0, day, hour, minute, second, 0};
}

// Monday 7 December 2026, noon: the clock of every run unless a row says otherwise.
inline const SystemTime kNow = At(2026, 12, 7, 12);
inline const SystemTime kTwoToday = At(2026, 12, 7, 2);

// Result lines; the last run is written as the default regional form shows it
// (m/d/yy h:mm:ss am/pm, the time left out at midnight).
inline std::string Ok(const std::string& text) { return "ScriptRes:Ok:" + text; }
inline std::string Bad(const std::string& text) { return "ScriptRes:Bad:" + text; }
inline std::string Unknown(const std::string& text) { return "ScriptRes:Unknown:" + text; }

inline bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

inline long CountOf(const Calls& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& call) { return StartsWith(call, prefix); });
}

// One whole run on a fresh fake: the clock reads kNow and the task last ran at kTwoToday
// with exit code 0, unless setup says otherwise.
struct CheckRun {
  explicit CheckRun(const Arguments& arguments, const Scenario& setup = nullptr) {
    fake.clockReadings = {kNow};
    fake.lastRunTime = kTwoToday;
    if (setup) setup(fake);
    exitStatus = RunCheck(arguments, fake.platform(), RegionalSettings{}, SystemLeadBytes{});
    status = static_cast<CheckStatus>(exitStatus);  // so in the default form
  }
  std::string ResultLine() const { return fake.output.empty() ? "" : fake.output.back(); }
  bool HelpShown() const { return fake.output.size() > 1; }

  FakePlatform fake;
  int exitStatus;
  CheckStatus status;
};

// What every run leaves behind: exactly one result line, last, matching the status; every
// object released; COM shut down as often as it was started, last of all; a token closed.
inline void ExpectOneResultLineAndNothingLeft(const CheckRun& run, const std::string& context) {
  const Calls& output = run.fake.output;
  const Calls& calls = run.fake.calls;
  EXPECT_EQ(CountOf(output, "ScriptRes:"), 1) << context;
  const std::string prefix[] = {"ScriptRes:Ok:", "ScriptRes:Bad:", "ScriptRes:Unknown:"};
  EXPECT_TRUE(StartsWith(run.ResultLine(), prefix[static_cast<int>(run.status)])) << context;
  EXPECT_EQ(run.fake.liveObjects, 0) << context;
  EXPECT_EQ(CountOf(calls, "CoInitialize"), CountOf(calls, "CoUninitialize")) << context;
  if (CountOf(calls, "CoInitialize") > 0) {
    EXPECT_EQ(calls.back(), "CoUninitialize") << context;
  }
  EXPECT_EQ(CountOf(calls, "ImpersonateLoggedOnUser"), CountOf(calls, "RevertToSelf")) << context;
  EXPECT_EQ(CountOf(calls, "ImpersonateLoggedOnUser"), CountOf(calls, "CloseHandle")) << context;
}

}  // namespace runwarden::check_run_test
