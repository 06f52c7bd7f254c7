#pragma once
// The last step of every check: its report rendered in the form asked for and written to
// standard output or, with -outfile:, over a file. The two steps apart serve a result made
// ready before it is known whether it will be written (the time limit's).

#include <string>

#include "core/report/check_report.h"
#include "core/report/report_forms.h"
#include "platform/platform.h"

namespace runwarden {

// Where the outcome of a check goes, and in which form.
struct ReportTarget {
  ReportFormat format = ReportFormat::ScriptRes;
  std::string outFile;  // in the system's code page; empty: standard output
};

// A report rendered for its target: the bytes as they are written, and their exit status.
struct RenderedReport {
  std::string bytes;
  int exitStatus = 0;
};

// The report and facts in the target's form (in UTF-8 for the forms that engines read),
// line ends included.
RenderedReport RenderForTarget(const ReportTarget& target, const CheckReport& report,
                               const CheckFacts& facts, Platform& platform);

// Writes rendered bytes to standard output and returns their exit status; when that fails,
// one line on standard error says why and the form's Unknown status is returned.
int WriteStandardOutput(ReportFormat format, const RenderedReport& rendered, Platform& platform);

// Writes a rendered report whole: to standard output, or over the file in one step. When
// the file cannot be written it keeps its old content, and an Unknown result in the same
// form, naming the file and the system's reason, goes to standard output instead (for the
// task taskName, with the facts). Returns the exit status of what was written.
int WriteRenderedReport(const ReportTarget& target, const RenderedReport& rendered,
                        const std::string& taskName, const CheckFacts& facts,
                        Platform& platform);

// Renders the report and writes it, as the two above.
int DeliverReport(const ReportTarget& target, const CheckReport& report, const CheckFacts& facts,
                  Platform& platform);

}  // namespace runwarden
