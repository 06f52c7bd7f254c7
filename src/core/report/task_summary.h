#pragma once
// The outcome of a check of many tasks, made of the reports of its tasks.

#include <cstddef>
#include <span>
#include <string>

#include "core/report/check_report.h"

namespace runwarden {

// Bad when any task is Bad, else Unknown when any is Unknown, else Ok.
CheckStatus SummaryStatus(std::span<const CheckReport> tasks);

// A warning when no task is Bad or Unknown and one is Ok with a Warning.
bool SummaryWarning(std::span<const CheckReport> tasks);

// The most bytes of a summary text, its count of the tasks left out included.
inline constexpr std::size_t kSummaryTextLimit = 1000;

// "4 tasks matched, 2 failed" ("1 task matched" for one), then, when every task is Ok,
// "; latest X, earliest Y" with the texts of the youngest and the oldest last run (the
// first in the tasks' order of those of equal age), else "; NAME: TEXT" for each task that
// is not Ok, in the tasks' order, for as long as the text stays within kSummaryTextLimit,
// and "; K more" for the ones that did not fit.
std::string SummaryText(std::span<const CheckReport> tasks);

}  // namespace runwarden
