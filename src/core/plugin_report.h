#pragma once
// The report of a check in the form that monitoring engines of the plugins' convention
// read: one line of a service label, the status word, " - " and the facts, then " | " and
// the performance data; the exit status says the same (0 OK, 2 CRITICAL, 3 UNKNOWN).
//
// The convention has no escape for "|", which ends the text and starts the performance
// data: a "|" in a task name or a reason is written as "!". Line breaks become blanks, as
// in the default form.

#include <string>
#include <string_view>
#include <vector>

#include "core/check_report.h"

namespace runwarden {

// "TASK OK - Backup: 12/7/26 2:00:00 am | age=36000s;;86400 result=0"; the facts are the
// task's name and the default form's text; " | " and the performance data are left out
// when the check measured nothing.
std::string PluginLine(const CheckReport& report);

// PluginLine's line; for a check of many tasks the performance data hold the values of
// every task, labelled "NAME age" and "NAME result", and a line for each task follows, in
// the report's order (the long output): "CRITICAL - Backup: 12/7/26 2:00:00 am".
std::vector<std::string> PluginLines(const CheckReport& report);

int PluginExitStatus(CheckStatus status);

// The label of one value of the performance data: in single quotes, with each quote in it
// doubled, where it holds a blank, an equals sign or a quote; as it is otherwise.
std::string PerfDataLabel(std::string_view name);

}  // namespace runwarden
