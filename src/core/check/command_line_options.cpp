#include "core/check/command_line_options.h"

#include <array>
#include <exception>
#include <string_view>

#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

enum class OptionField {
  HostName, TaskName, UserName, Password, TimeFrame, IgnoreResult, RemoteGmt, Format,
  OkCodes, MaxRun, WarnFrame, CheckState, OutFile, Timeout, Version, Credential,
  LastLog, UserManager
};

struct Option {
  std::string_view key;      // looked for anywhere in the argument, case respected
  std::string_view removal;  // deleted from the argument, case ignored, to leave the value
  OptionField field;
};

// Tested in this order; the first key found in an argument decides, wherever it stands.
constexpr std::array<Option, 18> kOptions{{
    {"-host:", "-host:", OptionField::HostName},
    {"-task:", "-task:", OptionField::TaskName},
    {"-user:", "-user:", OptionField::UserName},
    {"-pswd:", "-pswd:", OptionField::Password},
    {"-timeframe:", "-timeframe:", OptionField::TimeFrame},
    {"-ignoreres", "", OptionField::IgnoreResult},
    {"-remotegmt", "-remotegmt:", OptionField::RemoteGmt},  // found without its colon
    // The later keys, each after all that came before it, so that an argument holding
    // an earlier key keeps its meaning.
    {"-format:", "-format:", OptionField::Format},
    {"-okcodes:", "-okcodes:", OptionField::OkCodes},
    {"-maxrun:", "-maxrun:", OptionField::MaxRun},
    {"-warnframe:", "-warnframe:", OptionField::WarnFrame},
    {"-checkstate", "", OptionField::CheckState},
    {"-outfile:", "-outfile:", OptionField::OutFile},
    {"-timeout:", "-timeout:", OptionField::Timeout},
    {"-version", "", OptionField::Version},
    {"-cred:", "-cred:", OptionField::Credential},
    {"-lastlog:", "-lastlog:", OptionField::LastLog},
    {"-usermanager:", "-usermanager:", OptionField::UserManager},
}};

constexpr std::array<std::string_view, 4> kHelpSwitches{"/h", "/?", "-h", "-?"};

constexpr std::int32_t kGmtOffsetLimit = 780;  // minutes either way
constexpr std::int32_t kGmtOffsetNotANumber = 9999;

bool IsHelpSwitch(std::string_view argument) {
  for (std::string_view help : kHelpSwitches) {
    if (TextEquals(argument, help)) return true;
  }
  return false;
}

const Option* DecidingOption(std::string_view argument) {
  for (const Option& option : kOptions) {
    if (SubstringPosition(option.key, argument) != 0) return &option;
  }
  return nullptr;
}

void Fail(CheckSettings& settings, std::string message) {
  settings.Status = CheckStatus::Unknown;
  settings.MessageText = std::move(message);
}

// The shift that brings a time of the remote computer to local time. A bad offset or an
// unreadable zone leaves TimeShift as it was.
void SetRemoteGmtOffset(std::string_view value, TimeZone& timeZone, CheckSettings& settings) {
  settings.RemoteGmtOffset = ParseIntegerOr(value, kGmtOffsetNotANumber);
  if (settings.RemoteGmtOffset < -kGmtOffsetLimit || settings.RemoteGmtOffset > kGmtOffsetLimit) {
    // The range in the text is not the one enforced; callers match on the text.
    Fail(settings, "Invalid gmt offset specified. Number should be in range -760..+780");
    return;
  }
  std::int32_t bias = 0;  // UTC = local time + bias
  if (!timeZone.GetStandardBias(&bias)) {
    Fail(settings, "Cannot retrieve local time zone information");
    return;
  }
  // 64 bits so that no bias a platform may report can overflow; real ones fit 32 bits.
  const std::int64_t seconds = (-static_cast<std::int64_t>(bias) - settings.RemoteGmtOffset) * 60;
  settings.TimeShift = static_cast<double>(seconds) / 86400.0;
}

void ParseArgument(const std::string& argument, TimeZone& timeZone, CaseMapping& caseMapping,
                   const SystemLeadBytes& leadBytes, CheckSettings& settings) {
  if (SubstringPosition("-", argument) != 1) return;
  const Option* option = DecidingOption(argument);
  if (option == nullptr) return;
  switch (option->field) {  // the switches, which have no value
    case OptionField::IgnoreResult: settings.IgnoreResult = true; return;
    case OptionField::CheckState: settings.CheckState = true; return;
    case OptionField::Version: settings.ShowVersion = true; return;
    default: break;
  }
  std::string value = ReplaceAllIgnoringCase(argument, option->removal, "", leadBytes, caseMapping);
  switch (option->field) {
    case OptionField::HostName: settings.HostName = std::move(value); break;
    case OptionField::TaskName: settings.TaskName = std::move(value); break;
    case OptionField::UserName: settings.UserName = std::move(value); break;
    case OptionField::Password: settings.Password = std::move(value); break;
    case OptionField::TimeFrame: settings.TimeFrameText = AsciiLowerCase(value); break;
    case OptionField::RemoteGmt: SetRemoteGmtOffset(value, timeZone, settings); break;
    case OptionField::Format: settings.FormatText = AsciiLowerCase(value); break;
    case OptionField::OkCodes: settings.OkCodesText = std::move(value); break;
    case OptionField::MaxRun: settings.MaxRunText = std::move(value); break;
    case OptionField::WarnFrame: settings.WarnFrameText = AsciiLowerCase(value); break;
    case OptionField::OutFile: settings.OutFile = std::move(value); break;
    case OptionField::Timeout: settings.TimeoutText = std::move(value); break;
    case OptionField::Credential: settings.CredentialTarget = std::move(value); break;
    case OptionField::LastLog: settings.LastLogText = std::move(value); break;
    case OptionField::UserManager: settings.UserManager = std::move(value); break;
    case OptionField::IgnoreResult:
    case OptionField::CheckState:
    case OptionField::Version: break;
  }
}

}  // namespace

void ParseCommandLine(const std::vector<std::string>& arguments, TimeZone& timeZone,
                      CaseMapping& caseMapping, const SystemLeadBytes& leadBytes,
                      CheckSettings& settings) {
  // Only the first argument can ask for help, and then nothing else is read.
  if (arguments.empty() || IsHelpSwitch(arguments.front())) {
    settings.ShowHelp = true;
    return;
  }
  try {
    for (const std::string& argument : arguments) {
      ParseArgument(argument, timeZone, caseMapping, leadBytes, settings);
    }
  } catch (const std::exception& error) {
    Fail(settings, error.what());
    settings.ShowHelp = true;
  }
}

}  // namespace runwarden
