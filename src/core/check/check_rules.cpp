#include "core/check/check_rules.h"

#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

constexpr std::int32_t kMostLastLogLines = 50;

void Fail(CheckSettings& settings, std::string message) {
  settings.Status = CheckStatus::Unknown;
  settings.MessageText = std::move(message);
}

std::string_view ScheduleText(ScheduleState schedule) {
  switch (schedule) {
    case ScheduleState::Disabled: return " State : disabled";
    case ScheduleState::NoNextRun: return " State : no next run";
    case ScheduleState::NotScheduled: return " State : not scheduled";
    case ScheduleState::Scheduled: break;
  }
  return {};
}

}  // namespace

void ReadCheckRules(CheckSettings& settings, CheckRules& rules) {
  if (!settings.OkCodesText.empty()) {
    auto codes = ParseExitCodeList(settings.OkCodesText);
    if (codes) {
      rules.AcceptedCodes = std::move(*codes);
    } else {
      Fail(settings, "Invalid exit code list specified");
    }
  }
  if (!settings.MaxRunText.empty()) {
    const ParsedInteger minutes = ParseInteger(settings.MaxRunText);
    if (minutes.errorPosition == 0 && minutes.value > 0) {
      rules.MaxRunMinutes = minutes.value;
    } else {
      Fail(settings,
           "Invalid max run time specified. Max run time should be a positive number of minutes");
    }
  }
  if (!settings.WarnFrameText.empty()) {
    rules.WarnFrame =
        ReadTimeFrame(settings.WarnFrameText, rules.WarnFrameMinutes, rules.WarnFrameKind);
    if (!rules.WarnFrame) {
      Fail(settings,
           "Invalid warn frame specified. Warn frame should be minutes or a time frame keyword");
    }
  }
  rules.CheckState = settings.CheckState;
  if (!settings.LastLogText.empty()) {
    const ParsedInteger lines = ParseInteger(settings.LastLogText);
    if (lines.errorPosition == 0 && lines.value >= 0 && lines.value <= kMostLastLogLines) {
      rules.LastLogLines = static_cast<std::uint32_t>(lines.value);
    } else {
      Fail(settings, "Invalid last log specified. Last log should be a number of lines in range 0..50");
    }
  }
}

std::optional<std::string> RunStateFailure(const CheckRules& rules, const TaskRunState& state,
                                           std::int64_t ageSeconds) {
  const std::int64_t limit = std::int64_t{rules.MaxRunMinutes} * 60;
  if (rules.MaxRunMinutes > 0 && state.running.value_or(false) && ageSeconds > limit) {
    return " State : running for " + DecimalText(ageSeconds / 60) + " minutes";
  }
  if (rules.CheckState && state.schedule && *state.schedule != ScheduleState::Scheduled) {
    return std::string(ScheduleText(*state.schedule));
  }
  return std::nullopt;
}

}  // namespace runwarden
