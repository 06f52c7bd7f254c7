#pragma once
// The output forms of a check, as -format: names them: each writes the same report and
// facts its own way, in a file of its own.

#include <string>
#include <string_view>
#include <vector>

#include "core/report/check_report.h"

namespace runwarden {

enum class ReportFormat { ScriptRes, Nagios, Prometheus, Json };

// Sets format to the form that text (lower case) names and returns true; an empty text is
// the default form. Returns false and leaves format unchanged for any other text.
bool FindReportFormat(std::string_view text, ReportFormat& format);

// Whether the form is read by machines as UTF-8: every form but the default one, which
// stays in the system's code page. Its report and facts are handed over in UTF-8.
bool IsUtf8Form(ReportFormat format);

// Whether the form shows times as Unix times (LastRunUnixTime, CheckedAtUnixTime), which
// are read for it alone.
bool ShowsUnixTimes(ReportFormat format);

// Whether the form shows the lines of a Bad task's last run (CheckReport::LogLines), which
// are read for it alone.
bool ShowsLogLines(ReportFormat format);

// What a form makes of a report: its lines, without line ends, and the process exit status.
struct ReportOutput {
  std::vector<std::string> lines;
  int exitStatus = 0;
  // The lines end as the platform's text does (CR LF on Windows); false: with LF alone.
  bool platformLineEnds = true;
};

ReportOutput RenderReport(ReportFormat format, const CheckReport& report, const CheckFacts& facts);

}  // namespace runwarden
