// The schedule states of a task through the whole check (-checkstate), through Task
// Scheduler 1.0 and 2.0, and the next and missed runs the check records for the forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "core/check/check_run.h"
#include "fakes/fake_platform.h"
#include "unit/check_verdicts_support.h"

namespace runwarden::verdicts_test {
namespace {

using testing::FakePlatform;

// Task Scheduler 1.0 tells why a task will not run again through its status, its flags
// and the answer of GetNextRunTime.
TEST(CheckVerdicts, TheScheduleStatesOf1) {
  const auto v1 = [](HResult status, std::uint32_t flags, HResult next) {
    return [=](FakePlatform& f) {
      f.taskStatus = status;
      f.taskFlags = flags;
      f.nextRunResult = next;
    };
  };
  const HResult ready = 0x41300;
  const struct {
    Scenario setup;
    std::string state;  // empty: Ok
    const char* reason;
  } cases[] = {
      {v1(ready, 0, 0), "", "ready, with a next run"},
      {v1(0x41302, 0, 0), "disabled", "status disabled"},
      {v1(0x41304, 0, 0), "no next run", "status no more runs"},
      {v1(0x41305, 0, 0), "not scheduled", "status not scheduled"},
      {v1(0x41307, 0, 0), "not scheduled", "status no valid triggers"},
      {v1(ready, 0x4, 0), "disabled", "the disabled flag, which Wine's status leaves out"},
      {v1(ready, 0x8, 0), "", "another flag"},
      {v1(ready, 0, 0x41302), "disabled", "next run: disabled"},
      {v1(ready, 0, 0x41304), "no next run", "next run: no more runs"},
      {v1(ready, 0, 0x41307), "not scheduled", "next run: no valid triggers"},
      {v1(ready, 0, 0x41308), "", "next run: only an event trigger counts as scheduled"},
      {v1(ready, 0, static_cast<HResult>(0x80004005)), "", "a failed next-run call says nothing"},
      {v1(0x41304, 0x4, 0x41307), "disabled", "disabled weighs most"},
      {v1(0x41305, 0, 0x41304), "no next run", "no next run before not scheduled"},
      {Both(v1(0x41302, 0, 0), [](FakePlatform& f) { f.notGiven = {"GetStatus"}; }), "",
       "a status not given"},
      {Both(v1(ready, 4, 0), [](FakePlatform& f) { f.notGiven = {"GetStatus", "GetNextRunTime"}; }),
       "disabled", "the flags alone"},
  };
  for (const auto& c : cases) {
    const Verdict run({kV1Task, "-timeframe:today", "-checkstate"}, c.setup);
    EXPECT_EQ(run.line, c.state.empty() ? Ok(kTwo) : Bad(kTwo + " State : " + c.state)) << c.reason;
  }
}

TEST(CheckVerdicts, TheScheduleStatesOf2) {
  const struct {
    std::int32_t state;
    bool enabled;
    std::set<std::string> notGiven;
    bool disabled;
    const char* reason;
  } cases[] = {
      {3, true, {}, false, "ready and enabled"},
      {1, true, {}, true, "state disabled"},
      {3, false, {}, true, "not enabled"},
      {2, true, {}, false, "queued"},
      {1, true, {"get_State"}, false, "a state not given"},
      {3, false, {"get_State"}, true, "not enabled, no state"},
  };
  for (const auto& c : cases) {
    const Verdict run({kV2Task, "-timeframe:today", "-checkstate"}, [&](FakePlatform& f) {
      f.registeredState = c.state;
      f.registeredEnabled = c.enabled;
      f.notGiven = c.notGiven;
    }, true);
    EXPECT_EQ(run.line, c.disabled ? Bad(kTwo + " State : disabled") : Ok(kTwo)) << c.reason;
  }
}

// The next run and the missed runs go into the record, whatever the status; they never
// change it.
TEST(CheckVerdicts, NextRunAndMissedRunsAreRecordedOnly) {
  const DateTime tomorrowTwo = DateTimeFromSystemTime(At(8, 2));
  const struct {
    Arguments arguments;
    Scenario setup;
    bool through2;
    std::optional<std::int64_t> nextRun, missed;
    CheckStatus status;
    const char* reason;
  } cases[] = {
      {{kV1Task, "-timeframe:today", "-checkstate"}, nullptr, false, 14 * 3600, std::nullopt,
       CheckStatus::Ok, "1.0: in 14 hours; no missed runs given"},
      {{kV1Task, "-timeframe:today", "-checkstate"},
       [](FakePlatform& f) { f.nextRunTime = At(7, 11); }, false, -3600, std::nullopt,
       CheckStatus::Ok, "overdue by an hour: negative, still Ok"},
      {{kV1Task, "-timeframe:today", "-checkstate", "-remotegmt:60"},
       [](FakePlatform& f) { f.nextRunTime = At(7, 13); }, false, 0, std::nullopt,
       CheckStatus::Ok, "shifted as the last run is"},
      {{kV1Task, "-timeframe:yesterday", "-checkstate"}, nullptr, false, 14 * 3600, std::nullopt,
       CheckStatus::Bad, "recorded for a task that is Bad"},
      {{kV1Task, "-timeframe:today", "-checkstate"},
       [](FakePlatform& f) { f.nextRunResult = 0x41308; }, false, std::nullopt, std::nullopt,
       CheckStatus::Ok, "an event trigger: no next run time"},
      {{kV1Task, "-timeframe:today", "-maxrun:60"}, nullptr, false, std::nullopt, std::nullopt,
       CheckStatus::Ok, "without -checkstate: not read"},
      {{kV2Task, "-timeframe:today", "-checkstate"},
       [&](FakePlatform& f) {
         f.registeredNextRun = tomorrowTwo;
         f.missedRuns = 2;
       },
       true, 14 * 3600, 2, CheckStatus::Ok, "2.0: next run and missed runs"},
      {{kV2Task, "-timeframe:today", "-checkstate"},
       [](FakePlatform& f) { f.notGiven = {"get_NextRunTime", "get_NumberOfMissedRuns"}; }, true,
       std::nullopt, std::nullopt, CheckStatus::Ok, "2.0 without them (Wine)"},
      {{kV2Task, "-timeframe:today", "-checkstate"}, nullptr, true, std::nullopt, 0,
       CheckStatus::Ok, "2.0: a next run of 0 is none"},
  };
  for (const auto& c : cases) {
    const Verdict run(c.arguments, c.setup, c.through2);
    EXPECT_EQ(run.report().NextRunSeconds, c.nextRun) << c.reason;
    EXPECT_EQ(run.report().MissedRuns, c.missed) << c.reason;
    EXPECT_EQ(run.report().Status, c.status) << c.reason;
  }
}

}  // namespace
}  // namespace runwarden::verdicts_test
