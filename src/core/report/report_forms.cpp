#include "core/report/report_forms.h"

#include "core/report/json_report.h"
#include "core/report/plugin_report.h"
#include "core/report/prometheus_report.h"
#include "core/report/scriptres_report.h"
#include "core/calendar/text_rules.h"

namespace runwarden {

bool FindReportFormat(std::string_view text, ReportFormat& format) {
  static constexpr struct {
    std::string_view name;
    ReportFormat format;
  } kForms[] = {{"scriptres", ReportFormat::ScriptRes},
                {"nagios", ReportFormat::Nagios},
                {"prometheus", ReportFormat::Prometheus},
                {"json", ReportFormat::Json}};
  if (text.empty()) {
    format = ReportFormat::ScriptRes;
    return true;
  }
  for (const auto& form : kForms) {
    if (TextEquals(text, form.name)) {
      format = form.format;
      return true;
    }
  }
  return false;
}

bool IsUtf8Form(ReportFormat format) { return format != ReportFormat::ScriptRes; }

bool ShowsUnixTimes(ReportFormat format) {
  return format == ReportFormat::Prometheus || format == ReportFormat::Json;
}

bool ShowsLogLines(ReportFormat format) {
  return format == ReportFormat::Nagios || format == ReportFormat::Json;
}

ReportOutput RenderReport(ReportFormat format, const CheckReport& report, const CheckFacts& facts) {
  // The machine-read forms have the exit status of the default form.
  const int defaultStatus = static_cast<int>(report.Status);
  switch (format) {
    case ReportFormat::Nagios: return {PluginLines(report), PluginExitStatus(report)};
    case ReportFormat::Prometheus:
      return {PrometheusLines(report, facts), defaultStatus, false};
    case ReportFormat::Json: return {{JsonDocument(report, facts)}, defaultStatus, false};
    case ReportFormat::ScriptRes: break;
  }
  return {{ScriptResLine(report)}, defaultStatus};
}

}  // namespace runwarden
