#include "core/check/check_validation.h"

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/check/check_time_limit.h"
#include "core/report/report_forms.h"

namespace runwarden {
namespace {

// Whether an -outfile: text names a file: it does not end in a folder separator (a
// backslash that is the trail byte of a double-byte character is none).
bool NamesAFile(std::string_view path, const SystemLeadBytes& leadBytes) {
  bool endsInSeparator = false;
  for (std::size_t i = 0; i < path.size(); ++i) {
    endsInSeparator = path[i] == '\\' || path[i] == '/';
    if (IsLeadByte(leadBytes, path[i]) && i + 1 < path.size()) ++i;
  }
  return !endsInSeparator;
}

}  // namespace

void Validate(CheckSettings& settings, TimeFrameKind& kind, CheckRules& rules,
              const SystemLeadBytes& leadBytes, ReportTarget& target) {
  if (settings.TaskName.empty()) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText = "Scheduled Task name is required";
  }
  if (!ReadTimeFrame(settings.TimeFrameText, settings.TimeFrameMinutes, kind)) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText = "TimeFrame is required";
  }
  ReadCheckRules(settings, rules);
  if (settings.ShowHelp) return;
  if (!settings.TimeoutText.empty()) {
    const std::optional<std::int32_t> seconds = ParseTimeoutSeconds(settings.TimeoutText);
    if (seconds) {
      settings.TimeoutSeconds = *seconds;
    } else {
      settings.Status = CheckStatus::Unknown;
      settings.MessageText =
          "Invalid timeout specified. Timeout should be a number of seconds in range 1..2147483647";
    }
  }
  // Its message stands over the ones before, as the answer goes to standard output and
  // not where the caller looks for it.
  if (!settings.OutFile.empty() && !NamesAFile(settings.OutFile, leadBytes)) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText = "Invalid output file specified. The path should name a file";
  } else {
    target.outFile = settings.OutFile;
  }
  // Tested last, so that its message stands: the caller reads this answer in a form it did
  // not ask for. Where the help text is shown the result line is the default one, whatever
  // the arguments read before an error said.
  if (!FindReportFormat(settings.FormatText, target.format)) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText =
        "Invalid format specified. Format should be scriptres, nagios, prometheus or json";
    target.outFile.clear();
  }
}

}  // namespace runwarden
