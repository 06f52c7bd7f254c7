#include "core/check/report_delivery.h"

#include "core/access/system_error_text.h"
#include "core/report/utf8_text.h"

namespace runwarden {
namespace {

ReportOutput Render(ReportFormat format, const CheckReport& report, const CheckFacts& facts,
                    Platform& platform) {
  if (!IsUtf8Form(format)) return RenderReport(format, report, facts);
  Utf8Texts texts(platform.wideText);
  return RenderReport(format, Utf8Report(report, texts), Utf8Facts(facts, texts));
}

// The lines with their line ends, as they are written.
std::string OutputBytes(const ReportOutput& output, Console& console) {
  const std::string_view lineEnd = output.platformLineEnds ? console.LineEnd() : "\n";
  std::string bytes;
  for (const std::string& line : output.lines) {
    bytes += line;
    bytes += lineEnd;
  }
  return bytes;
}

}  // namespace

RenderedReport RenderForTarget(const ReportTarget& target, const CheckReport& report,
                               const CheckFacts& facts, Platform& platform) {
  const ReportOutput output = Render(target.format, report, facts, platform);
  return {OutputBytes(output, platform.console), output.exitStatus};
}

int WriteStandardOutput(ReportFormat format, const RenderedReport& rendered, Platform& platform) {
  const SystemErrorCode error = platform.console.Write(rendered.bytes);
  if (error == 0) return rendered.exitStatus;
  platform.console.WriteErrorLine("Cannot write standard output: " +
                                  SystemErrorText(platform.logon, error));
  CheckReport unknown;
  unknown.Status = CheckStatus::Unknown;
  return RenderReport(format, unknown, CheckFacts{}).exitStatus;
}

int WriteRenderedReport(const ReportTarget& target, const RenderedReport& rendered,
                        const std::string& taskName, const CheckFacts& facts,
                        Platform& platform) {
  if (target.outFile.empty()) return WriteStandardOutput(target.format, rendered, platform);
  const SystemErrorCode error = platform.outputFile.ReplaceFile(target.outFile, rendered.bytes);
  if (error == 0) return rendered.exitStatus;
  CheckReport failure;
  failure.Status = CheckStatus::Unknown;
  failure.TaskName = taskName;
  failure.Text = "Cannot write output file \"" + target.outFile +
                 "\": " + SystemErrorText(platform.logon, error);
  const ReportOutput failed = Render(target.format, failure, facts, platform);
  return WriteStandardOutput(target.format,
                             {OutputBytes(failed, platform.console), failed.exitStatus}, platform);
}

int DeliverReport(const ReportTarget& target, const CheckReport& report, const CheckFacts& facts,
                  Platform& platform) {
  return WriteRenderedReport(target, RenderForTarget(target, report, facts, platform),
                             report.TaskName, facts, platform);
}

}  // namespace runwarden
