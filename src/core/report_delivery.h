#pragma once
// The last step of every check: its report rendered in the form asked for and written to
// standard output or, with -outfile:, over a file.

#include <string>

#include "core/check_report.h"
#include "core/report_forms.h"
#include "platform/platform.h"

namespace runwarden {

// Where the outcome of a check goes, and in which form.
struct ReportTarget {
  ReportFormat format = ReportFormat::ScriptRes;
  std::string outFile;  // in the system's code page; empty: standard output
};

// Renders the report and facts in the target's form (in UTF-8 for the forms that engines
// read) and writes it whole: to standard output, or over the file in one step. When the
// file cannot be written it keeps its old content, and an Unknown result in the same form,
// naming the file and the system's reason, goes to standard output instead. Returns the
// exit status of what was written.
int DeliverReport(const ReportTarget& target, const CheckReport& report, const CheckFacts& facts,
                  Platform& platform);

}  // namespace runwarden
