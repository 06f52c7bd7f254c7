#include "core/report_forms.h"

#include "core/plugin_report.h"
#include "core/scriptres_report.h"
#include "core/text_rules.h"

namespace runwarden {

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

ReportOutput RenderReport(ReportFormat format, const CheckReport& report, const CheckFacts&) {
  switch (format) {
    case ReportFormat::Nagios: return {PluginLines(report), PluginExitStatus(report.Status)};
    case ReportFormat::ScriptRes: break;
  }
  return {{ScriptResLine(report)}, static_cast<int>(report.Status)};
}

}  // namespace runwarden
