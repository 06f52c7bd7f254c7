#include "core/check_run.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "core/command_line_options.h"
#include "core/errors.h"
#include "core/help_text.h"
#include "core/impersonation.h"
#include "core/integer_text.h"
#include "core/remote_connection.h"
#include "core/sched_tasks_helper.h"
#include "core/time_frames.h"

namespace runwarden {
namespace {

// Each failure replaces the message of the one before, so when both fail the time frame's
// message stands. A non-zero minute count skips the keyword lookup.
void Validate(CheckSettings& settings, TimeFrameKind& kind) {
  if (settings.TaskName.empty()) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText = "Scheduled Task name is required";
  }
  // The error position is not looked at: text that begins with digits counts by them.
  settings.TimeFrameMinutes = ParseInteger(settings.TimeFrameText).value;
  if (settings.TimeFrameMinutes == 0 &&
      (settings.TimeFrameText.empty() || !FindTimeFrame(settings.TimeFrameText, kind))) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText = "TimeFrame is required";
  }
}

// Everything a check acquires after COM has started. The destructor is the one clean-up
// step, run whether or not the check failed: the helper with its scheduler objects, then
// the impersonation and the logon token, then COM. The network connection stays.
class CheckResources {
 public:
  CheckResources(Platform& platform, CheckSettings& settings)
      : platform_(platform), settings_(settings) {}
  CheckResources(const CheckResources&) = delete;
  CheckResources& operator=(const CheckResources&) = delete;
  ~CheckResources() {
    helper_.reset();
    if (settings_.LogonToken != 0) {
      EndImpersonation(platform_.logon, settings_.LogonToken);
      settings_.LogonToken = 0;
    }
    platform_.com.CoUninitialize();
  }

  TSchedTasksHelper& CreateHelper() {
    helper_ = std::make_unique<TSchedTasksHelper>(platform_.com, platform_.wideText);
    return *helper_;
  }

 private:
  Platform& platform_;
  CheckSettings& settings_;
  std::unique_ptr<TSchedTasksHelper> helper_;
};

void NormaliseHostName(std::string& host) {
  if (!host.empty() && host.rfind("\\\\", 0) != 0) host.insert(0, "\\\\");
}

// Works under the given account when both an account and a password were given; a failed
// logon leaves the check under the program's own account, its reason unshown. The
// connection to the host is made either way and its result not looked at.
void UseAccount(CheckSettings& settings, Platform& platform) {
  if (!settings.UserName.empty() && !settings.Password.empty()) {
    settings.LogonToken = LogonAndImpersonate(platform.logon, settings.UserName,
                                              settings.Password, settings.LogonErrorText);
    ConnectRemoteHost(platform.network, settings.HostName, settings.UserName, settings.Password,
                      false);
  }
  if (!settings.UserName.empty()) {
    platform.com.SetRemoteLogin(SplitAccountName(settings.UserName).user);
  }
}

// Starts COM, reaches the task and judges its last run; returns the last run's text.
// Failures are raised; the resources are released before they reach the caller.
std::string CheckTask(CheckSettings& settings, TimeFrameKind kind, Platform& platform,
                      const RegionalSettings& regional) {
  const HResult initialised = platform.com.CoInitialize();
  if (initialised != 0) {  // "already initialised" (1) counts as a failure too
    platform.com.CoUninitialize();
    throw Exception("Error in CoInitialize. Error Code :" +
                    HexText(static_cast<std::uint32_t>(initialised), 8));
  }
  CheckResources resources(platform, settings);
  NormaliseHostName(settings.HostName);
  UseAccount(settings, platform);
  platform.com.SetRemoteTarget(!settings.HostName.empty());

  TSchedTasksHelper& helper = resources.CreateHelper();
  if (!helper.Connect(settings.HostName)) throw ESchedTasksHelperError(helper.ErrorText());
  if (!helper.OpenTask(settings.TaskName)) throw ESchedTasksHelperError(helper.ErrorText());
  const DateTime lastRun = helper.LastRunTime() + settings.TimeShift;

  const TimeWindow window = ComputeTimeWindow(settings.TimeFrameMinutes, kind, platform.clock);
  std::string lastRunText = DateTimeText(lastRun, regional, platform.locale);
  if (!IsInTimeWindow(window, lastRun)) {
    settings.Status = CheckStatus::Bad;
    settings.MessageText = lastRunText;
  }
  const std::uint32_t exitCode = helper.LastExitCode();  // read whatever the window said
  if (settings.Status == CheckStatus::Ok && !settings.IgnoreResult && exitCode != 0) {
    // Zero-extended, so that codes with the top bit set never show a minus sign.
    throw ESchedTasksHelperError(lastRunText + " Last Result : " +
                                 DecimalText(static_cast<std::int64_t>(exitCode)));
  }
  return lastRunText;
}

// A task or host name with a line break in it must not split the one result line that
// the caller reads: each CR and LF becomes a blank.
std::string OnOneLine(std::string text) {
  std::replace_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

std::string_view ResultPrefix(CheckStatus status) {
  switch (status) {
    case CheckStatus::Ok: return "ScriptRes:Ok:";
    case CheckStatus::Bad: return "ScriptRes:Bad:";
    case CheckStatus::Unknown: break;
  }
  return "ScriptRes:Unknown:";
}

}  // namespace

CheckStatus RunCheck(const std::vector<std::string>& arguments, Platform& platform,
                     const RegionalSettings& regional) {
  CheckSettings settings;
  std::string lastRunText;
  // The one place where the failures of a check become its outcome.
  try {
    ParseCommandLine(arguments, platform.timeZone, platform.caseMapping, regional.LeadBytes,
                     settings);
    if (settings.ShowHelp) {
      PrintBanner(platform.console);
      PrintUsage(platform.console);
    }
    TimeFrameKind kind = TimeFrameKind::Today;
    Validate(settings, kind);
    if (settings.Status == CheckStatus::Ok) {
      lastRunText = CheckTask(settings, kind, platform, regional);
    }
  } catch (const ESchedTasksHelperError& error) {
    settings.Status = CheckStatus::Bad;
    settings.MessageText = error.Message();
  } catch (const std::exception& error) {
    settings.Status = CheckStatus::Unknown;
    settings.MessageText = error.what();
  }
  const std::string& text =
      settings.Status == CheckStatus::Ok ? lastRunText : settings.MessageText;
  platform.console.WriteLine(std::string(ResultPrefix(settings.Status)) + OnOneLine(text));
  return settings.Status;
}

}  // namespace runwarden
