#pragma once
// The report of a check in the form that monitoring engines of the plugins' convention
// read: one line of a service label, the status word, " - " and the facts, then " | " and
// the performance data; the exit status says the same (0 OK, 1 WARNING, 2 CRITICAL,
// 3 UNKNOWN).
//
// The convention has no escape for "|", which ends the text and starts the performance
// data: a "|" in a task name or a reason is written as "!". Line breaks become blanks, as
// in the default form. The texts are taken byte for byte: the caller hands over a report in
// UTF-8, where a byte "|" is always the character.

#include <string>
#include <string_view>
#include <vector>

#include "core/report/check_report.h"

namespace runwarden {

// "TASK OK - Backup: 12/7/26 2:00:00 am | age=36000s;;86400 result=0"; the facts are the
// task's name and the default form's text; " | " and the performance data are left out
// when the check measured nothing. An Ok report with Warning set is WARNING.
std::string PluginLine(const CheckReport& report);

// PluginLine's line; for a check of many tasks the performance data hold the values of
// every task, labelled "NAME age", "NAME result" and so on, and a line for each task
// follows, in the report's order (the long output): "CRITICAL - Backup: 12/7/26 2:00:00 am".
std::vector<std::string> PluginLines(const CheckReport& report);

// PluginLines without the performance data, its lines joined by LF: the plugin output that
// an engine shows.
std::string PluginOutput(const CheckReport& report);

// The values of the performance data, each "label=value[unit][;warning[;critical]]": age
// (with the warn window and the window as thresholds), result, next and missed, for the
// check and then for each task of a pattern.
std::vector<std::string> PerfDataValues(const CheckReport& report);

int PluginExitStatus(CheckStatus status);
// Also 1 for WARNING.
int PluginExitStatus(const CheckReport& report);

// The label of one value of the performance data: in single quotes, with each quote in it
// doubled, where it holds a blank, an equals sign or a quote; as it is otherwise.
std::string PerfDataLabel(std::string_view name);

}  // namespace runwarden
