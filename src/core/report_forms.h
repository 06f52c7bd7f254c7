#pragma once
// The output forms of a check, as -format: names them: each writes the same report and
// facts its own way, in a file of its own.

#include <string>
#include <string_view>
#include <vector>

#include "core/check_report.h"

namespace runwarden {

enum class ReportFormat { ScriptRes, Nagios };

// Sets format to the form that text (lower case) names and returns true; an empty text is
// the default form. Returns false and leaves format unchanged for any other text.
bool FindReportFormat(std::string_view text, ReportFormat& format);

// What a form makes of a report: its lines, without line ends, and the process exit status.
struct ReportOutput {
  std::vector<std::string> lines;
  int exitStatus = 0;
};

ReportOutput RenderReport(ReportFormat format, const CheckReport& report, const CheckFacts& facts);

}  // namespace runwarden
