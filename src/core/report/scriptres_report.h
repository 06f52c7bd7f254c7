#pragma once
// The default form of a check's report: one "ScriptRes:" line.

#include <string>

#include "core/report/check_report.h"

namespace runwarden {

// "ScriptRes:Ok:", "ScriptRes:Bad:" or "ScriptRes:Unknown:" followed by the text; the exit
// status of this form is the check's status.
std::string ScriptResLine(const CheckReport& report);

}  // namespace runwarden
