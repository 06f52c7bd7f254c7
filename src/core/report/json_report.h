#pragma once
// The report of a check as one JSON document on one line, for scripts and for engines that
// take structured results: the outcome, the plugins' form's output and performance data
// (so that the document also serves as a passive check result), and an object per task.

#include <string>
#include <string_view>

#include "core/report/check_report.h"

namespace runwarden {

// {"status":…,"exit_status":…,"plugin_output":…,"performance_data":[…],"checked_at":…,
//  "task":…,"computer":…,"timeframe":…,"tasks":[{"task":…,"status":…,"last_run":…,
//  "last_run_text":…,"exit_code":…,"text":…},…]}; the texts of report and facts are UTF-8.
// "checked_at", "last_run" and "exit_code" are left out where there is no such value.
std::string JsonDocument(const CheckReport& report, const CheckFacts& facts);

// A JSON string, quotes included: quote, backslash and control characters escaped; bytes
// that are no UTF-8 become U+FFFD.
std::string JsonString(std::string_view text);

}  // namespace runwarden
