#include "core/check_report.h"

#include <algorithm>

#include "core/text_rules.h"

namespace runwarden {
namespace {

std::string_view ResultPrefix(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok: return "ScriptRes:Ok:";
    case CheckStatus::Bad: return "ScriptRes:Bad:";
    case CheckStatus::Unknown: break;
  }
  return "ScriptRes:Unknown:";
}

}  // namespace

bool FindReportFormat(std::string_view text, ReportFormat& format) {
  if (text.empty() || TextEquals(text, "scriptres")) {
    format = ReportFormat::ScriptRes;
    return true;
  }
  if (TextEquals(text, "nagios")) {
    format = ReportFormat::Nagios;
    return true;
  }
  return false;
}

std::string OnOneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

std::string ScriptResLine(const CheckReport& report) {
  return std::string(ResultPrefix(report.Status)) + OnOneLine(report.Text);
}

}  // namespace runwarden
