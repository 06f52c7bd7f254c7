#include "core/report/task_summary.h"

#include <algorithm>

#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

bool IsOk(const CheckReport& task) { return task.Status == CheckStatus::Ok; }

// Age of a task's last run for the latest and the earliest: every task of an all-Ok check
// measured one.
std::int64_t AgeOf(const CheckReport& task) { return task.AgeSeconds.value_or(0); }

std::string MoreText(std::size_t count) {
  return "; " + DecimalText(static_cast<std::int64_t>(count)) + " more";
}

}  // namespace

CheckStatus SummaryStatus(std::span<const CheckReport> tasks) {
  CheckStatus status = CheckStatus::Ok;
  for (const CheckReport& task : tasks) {
    if (task.Status == CheckStatus::Bad) return CheckStatus::Bad;
    if (task.Status == CheckStatus::Unknown) status = CheckStatus::Unknown;
  }
  return status;
}

bool SummaryWarning(std::span<const CheckReport> tasks) {
  return std::all_of(tasks.begin(), tasks.end(), IsOk) &&
         std::any_of(tasks.begin(), tasks.end(), [](const CheckReport& t) { return t.Warning; });
}

std::string SummaryText(std::span<const CheckReport> tasks) {
  const auto failed = static_cast<std::size_t>(
      std::count_if(tasks.begin(), tasks.end(), [](const CheckReport& t) { return !IsOk(t); }));
  std::string text = DecimalText(static_cast<std::int64_t>(tasks.size())) +
                     (tasks.size() == 1 ? " task matched, " : " tasks matched, ") +
                     DecimalText(static_cast<std::int64_t>(failed)) + " failed";
  if (tasks.empty()) return text;
  if (failed == 0) {
    const auto byAge = [](const CheckReport& a, const CheckReport& b) { return AgeOf(a) < AgeOf(b); };
    const auto latest = std::min_element(tasks.begin(), tasks.end(), byAge);
    // The first of the oldest: max_element gives the first of equal greatest ones.
    const auto earliest = std::max_element(tasks.begin(), tasks.end(), byAge);
    return text + "; latest " + latest->Text + ", earliest " + earliest->Text;
  }
  // Each item is taken only while the count of those after it still fits behind it.
  std::size_t shown = 0;
  for (const CheckReport& task : tasks) {
    if (IsOk(task)) continue;
    const std::string item = "; " + task.TaskName + ": " + task.Text;
    const std::size_t after = failed - shown - 1;
    const std::size_t room = after == 0 ? 0 : MoreText(after).size();
    if (text.size() + item.size() + room > kSummaryTextLimit) break;
    text += item;
    ++shown;
  }
  if (shown < failed) text += MoreText(failed - shown);
  return text;
}

}  // namespace runwarden
