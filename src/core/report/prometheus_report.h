#pragma once
// The report of a check in the Prometheus text exposition format, for the textfile
// collectors of the node exporter and the Windows exporter: gauges without timestamps, one
// series per checked task, labelled with the task, the computer and the time frame as
// given, so that the files of many checks can stand side by side in one folder.

#include <string>
#include <vector>

#include "core/report/check_report.h"

namespace runwarden {

// The lines of the exposition, without line ends; the texts of report and facts are UTF-8.
// For the check: runwarden_check_status (a series per outcome, 1 for the check's),
// runwarden_check_tasks and runwarden_check_timestamp_seconds; for each task:
// runwarden_task_status, runwarden_task_last_run_timestamp_seconds (a task that ran) and
// runwarden_task_last_exit_code (a task whose exit code was read). The outcome "warning"
// has a series only where a warn frame was given. A check that ends Unknown with a text
// begins with a comment line that gives it: "# unknown: " and the text.
std::vector<std::string> PrometheusLines(const CheckReport& report, const CheckFacts& facts);

// A label value as the format writes it between its quotes: backslash, double quote and
// line feed escaped; bytes that are no UTF-8 become U+FFFD.
std::string PrometheusLabelValue(std::string_view text);

}  // namespace runwarden
