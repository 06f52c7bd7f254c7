#pragma once
// One check of one scheduled task, from the command line to the result line.

#include <string>
#include <vector>

#include "core/report/check_report.h"
#include "core/check/check_settings.h"
#include "core/check/report_delivery.h"
#include "core/calendar/text_forms.h"
#include "platform/platform.h"
#include "platform/program_arguments.h"

namespace runwarden {

// A check's result, before a form writes it.
struct CheckOutcome {
  CheckReport report;
  CheckFacts facts;
  ReportTarget target;       // where the result goes, in which form
  bool versionOnly = false;  // -version: the version line is the whole answer
};

// Parses the arguments (program name left out), prints the help text when asked, and
// judges the task, or the tasks of a pattern: everything RunCheck does but writing the
// result; -timeout: is checked, but no time limit is kept.
CheckOutcome JudgeCheck(const std::vector<std::string>& arguments, Platform& platform,
                        const RegionalSettings& regional, const SystemLeadBytes& leadBytes);

// Runs the check for the program's arguments (program name left out), prints the help
// text when asked and then exactly one result line, in the form -format: asks for;
// returns the process exit status. regional: the thread locale's settings for the date
// text; leadBytes: those of the system's code page, in which the arguments are written.
int RunCheck(const std::vector<std::string>& arguments, Platform& platform,
             const RegionalSettings& regional, const SystemLeadBytes& leadBytes);

// The whole program: reads the regional settings and the system's lead bytes once, before
// the check, takes the arguments from the command line by them and runs the check.
int RunProgram(const ProgramCommandLine& commandLine, Platform& platform);

}  // namespace runwarden
