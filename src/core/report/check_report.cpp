#include "core/report/check_report.h"

#include <algorithm>

namespace runwarden {

Verdict VerdictOf(const CheckReport& report, bool warnFrame) {
  switch (report.Status) {
    case CheckStatus::Ok: return warnFrame && report.Warning ? Verdict::Warning : Verdict::Ok;
    case CheckStatus::Bad: return Verdict::Bad;
    case CheckStatus::Unknown: break;
  }
  return Verdict::Unknown;
}

std::string_view VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Ok: return "ok";
    case Verdict::Warning: return "warning";
    case Verdict::Bad: return "bad";
    case Verdict::Unknown: break;
  }
  return "unknown";
}

std::vector<const CheckReport*> CheckedTasks(const CheckReport& report) {
  if (report.TaskAsked) return {&report};
  std::vector<const CheckReport*> tasks;
  for (const CheckReport& task : report.Tasks) tasks.push_back(&task);
  return tasks;
}

std::string OnOneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

}  // namespace runwarden
