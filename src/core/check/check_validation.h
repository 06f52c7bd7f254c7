#pragma once
// The rules that a check's options must meet before the scheduler is asked.

#include "core/check/check_rules.h"
#include "core/check/check_settings.h"
#include "core/check/report_delivery.h"
#include "core/check/time_frames.h"
#include "core/calendar/text_rules.h"

namespace runwarden {

// Each failure replaces the message of the one before, so when both the task name and the
// time frame fail the time frame's message stands; then come the later keys' rules. A
// non-zero minute count skips the keyword lookup. The target is set only when the check's
// result goes where the options say: not with the help text, nor to an output file that
// the options cannot name.
void Validate(CheckSettings& settings, TimeFrameKind& kind, CheckRules& rules,
              const SystemLeadBytes& leadBytes, ReportTarget& target);

}  // namespace runwarden
