#pragma once
// The rules that the keys after -format: add to the judging of each task: exit codes that
// count as success, the longest a run may last, a warn frame, and whether a task that
// cannot run again by itself fails; read from the check's settings, and the judgement of
// a task's run state by them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/check/check_settings.h"
#include "core/check/exit_code_list.h"
#include "core/tasks/task_run_state.h"
#include "core/check/time_frames.h"

namespace runwarden {

struct CheckRules {
  std::vector<ExitCodeRange> AcceptedCodes;  // besides 0
  std::int32_t MaxRunMinutes = 0;            // 0: a run may last any time
  bool WarnFrame = false;
  std::int32_t WarnFrameMinutes = 0;  // as TimeFrameMinutes
  TimeFrameKind WarnFrameKind = TimeFrameKind::Today;
  bool CheckState = false;
  std::uint32_t LastLogLines = 0;  // of a Bad task's last run, shown by the forms that can

  // What the rules read of each task beyond its last run and exit code.
  TaskValueRequest Request() const { return {MaxRunMinutes > 0, CheckState}; }
};

// Reads -okcodes:, -maxrun: and -warnframe: of the settings, in that order; an empty value
// is a key not given. Each value that is not valid sets Status Unknown and its message,
// which replaces the message before it:
//   "Invalid exit code list specified" (see ParseExitCodeList),
//   "Invalid max run time specified. Max run time should be a positive number of minutes"
//   (an integer as ParseInteger reads it, the whole text, above 0),
//   "Invalid warn frame specified. Warn frame should be minutes or a time frame keyword"
//   (read as -timeframe: is, see ReadTimeFrame),
// then -lastlog:
//   "Invalid last log specified. Last log should be a number of lines in range 0..50".
void ReadCheckRules(CheckSettings& settings, CheckRules& rules);

// The text after the last run that makes a task Bad by its run state, or none, for a task
// that would be Ok: " State : running for N minutes" (N whole minutes) when it runs and
// its run began more than MaxRunMinutes ago (ageSeconds), else with CheckState
// " State : disabled", " State : no next run" or " State : not scheduled". A value the
// platform did not give judges nothing.
std::optional<std::string> RunStateFailure(const CheckRules& rules, const TaskRunState& state,
                                           std::int64_t ageSeconds);

}  // namespace runwarden
