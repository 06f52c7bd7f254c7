#include "core/check_run.h"

#include <cmath>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

#include "core/check_report.h"
#include "core/check_rules.h"
#include "core/check_time_limit.h"
#include "core/command_line_options.h"
#include "core/errors.h"
#include "core/help_text.h"
#include "core/impersonation.h"
#include "core/integer_text.h"
#include "core/program_version.h"
#include "core/remote_connection.h"
#include "core/report_delivery.h"
#include "core/report_forms.h"
#include "core/sched_tasks_helper.h"
#include "core/split_command_line.h"
#include "core/task_names.h"
#include "core/task_summary.h"
#include "core/time_frames.h"

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

// Each failure replaces the message of the one before, so when both the task name and the
// time frame fail the time frame's message stands; then come the later keys' rules. A
// non-zero minute count skips the keyword lookup. The target is set only when the check's
// result goes where the options say: not with the help text, nor to an output file that
// the options cannot name.
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

// Whole seconds from a last run to now, rounded up: for a minute window the age is at most
// the window's length exactly when the run lies inside it. Negative for a run after now.
std::int64_t AgeInSeconds(DateTime lastRun, DateTime now) {
  const double milliseconds = std::nearbyint((now - lastRun) * kMillisecondsPerDay);
  return static_cast<std::int64_t>(std::ceil(milliseconds / 1000));
}

// COM for the check; a failure is raised before anything else was acquired.
void StartCom(Platform& platform) {
  const HResult initialised = platform.com.CoInitialize();
  if (initialised != 0) {  // "already initialised" (1) counts as a failure too
    platform.com.CoUninitialize();
    throw Exception("Error in CoInitialize. Error Code :" +
                    HexText(static_cast<std::uint32_t>(initialised), 8));
  }
}

// Works under the check's account and reaches the scheduler of its computer, telling it
// first what the check will read beyond the last run and exit code, if anything; unless
// the logon and the network connection took the check's time.
TSchedTasksHelper& ConnectScheduler(CheckSettings& settings, const TaskValueRequest& request,
                                    Platform& platform, const CheckTimeLimit& limit,
                                    CheckResources& resources) {
  NormaliseHostName(settings.HostName);
  UseAccount(settings, platform);
  limit.Enforce();
  platform.com.SetRemoteTarget(!settings.HostName.empty());
  if (request.Any()) platform.com.RequestTaskValues(request);
  TSchedTasksHelper& helper = resources.CreateHelper();
  if (!helper.Connect(settings.HostName)) throw ESchedTasksHelperError(helper.ErrorText());
  return helper;
}

// A time window, read from the clock once, after the first last run was read.
class CheckWindow {
 public:
  CheckWindow(std::int32_t minutes, TimeFrameKind kind, Clock& clock)
      : minutes_(minutes), kind_(kind), clock_(clock) {}
  const TimeWindow& Get() {
    if (!window_) window_ = ComputeTimeWindow(minutes_, kind_, clock_);
    return *window_;
  }
  // The window's length, for a minute count.
  std::optional<std::int64_t> Seconds() const {
    if (minutes_ <= 0) return std::nullopt;
    return std::int64_t{minutes_} * 60;
  }

 private:
  std::int32_t minutes_;
  TimeFrameKind kind_;
  Clock& clock_;
  std::optional<TimeWindow> window_;
};

// A local date and time in seconds since 1970, by the zone's rules for that date (not now
// minus the age, which is an hour off across a change of daylight saving); none when the
// platform cannot convert it.
std::optional<std::int64_t> UnixTime(DateTime local, TimeZone& timeZone) {
  const DateParts date = SplitDate(local);
  const TimeParts time = SplitTime(local);
  const SystemTime record{date.year, date.month, 0, date.day, time.hour, time.minute, time.second,
                          time.millisecond};
  std::int64_t unixTime = 0;
  if (!timeZone.LocalToUnixTime(record, &unixTime)) return std::nullopt;
  return unixTime;
}

// Judges opened tasks, one after the other, by one set of settings, rules and windows.
class TaskJudge {
 public:
  // unixTimes: the form shows the last run as a Unix time too.
  TaskJudge(const CheckSettings& settings, const CheckRules& rules, TimeFrameKind kind,
            Platform& platform, const RegionalSettings& regional, bool unixTimes)
      : settings_(settings),
        rules_(rules),
        unixTimes_(unixTimes),
        platform_(platform),
        regional_(regional),
        window_(settings.TimeFrameMinutes, kind, platform.clock),
        warnWindow_(rules.WarnFrameMinutes, rules.WarnFrameKind, platform.clock) {}

  // The opened task's status and text go into the report with what it measured, as soon
  // as that is known; the failures of reading its last run are raised. The outcomes in
  // order, each only for a task that none before it failed: the window (the last run's
  // text), the exit code (" Last Result : "), the running time and the schedule state
  // (RunStateFailure); then the warn frame sets Warning.
  void Judge(TSchedTasksHelper& helper, CheckReport& report) {
    const DateTime lastRun = helper.LastRunTime() + settings_.TimeShift;
    if (unixTimes_) report.LastRunUnixTime = UnixTime(lastRun, platform_.timeZone);
    const TimeWindow& frame = window_.Get();
    report.AgeSeconds = AgeInSeconds(lastRun, frame.Now);
    report.WindowSeconds = window_.Seconds();
    report.LastRunText = DateTimeText(lastRun, regional_, platform_.locale);
    report.Text = report.LastRunText;
    if (!IsInTimeWindow(frame, lastRun)) report.Status = CheckStatus::Bad;
    const std::uint32_t exitCode = helper.LastExitCode();  // read whatever the window said
    report.LastResult = exitCode;
    if (report.Status == CheckStatus::Ok && !settings_.IgnoreResult && exitCode != 0 &&
        !IsListedExitCode(rules_.AcceptedCodes, exitCode)) {
      report.Status = CheckStatus::Bad;
      // Zero-extended, so that codes with the top bit set never show a minus sign.
      report.Text += " Last Result : " + DecimalText(static_cast<std::int64_t>(exitCode));
    }
    if (rules_.Request().Any()) JudgeRunState(helper.RunState(rules_.Request()), frame, report);
    if (rules_.WarnFrame) {
      report.WarnWindowSeconds = warnWindow_.Seconds();
      report.Warning =
          report.Status == CheckStatus::Ok && !IsInTimeWindow(warnWindow_.Get(), lastRun);
    }
  }

 private:
  void JudgeRunState(const TaskRunState& state, const TimeWindow& frame, CheckReport& report) {
    // Negative when the next run is overdue: the age of a run, turned round.
    if (state.nextRun) {
      report.NextRunSeconds = -AgeInSeconds(*state.nextRun + settings_.TimeShift, frame.Now);
    }
    report.MissedRuns = state.missedRuns;
    if (report.Status != CheckStatus::Ok) return;
    if (const auto failure = RunStateFailure(rules_, state, *report.AgeSeconds)) {
      report.Status = CheckStatus::Bad;
      report.Text += *failure;
    }
  }

  const CheckSettings& settings_;
  const CheckRules& rules_;
  bool unixTimes_;
  Platform& platform_;
  const RegionalSettings& regional_;
  CheckWindow window_;
  CheckWindow warnWindow_;
};

// Runs work; a failure it raises becomes the outcome: a scheduler that could not be
// reached or a task not found is Bad, any other failure Unknown.
template <class Work>
void RunJudged(Work&& work, CheckStatus& status, std::string& text) {
  try {
    work();
  } catch (const ESchedTasksHelperError& error) {
    status = CheckStatus::Bad;
    text = error.Message();
  } catch (const std::exception& error) {
    status = CheckStatus::Unknown;
    text = error.what();
  }
}

// Every task that the pattern matches, each judged as one task is, its failures its own;
// the check's outcome is made of theirs. No task matching fails as one task not found. The
// time limit is the check's: once it has passed no further task is looked at.
void JudgePatternTasks(TSchedTasksHelper& helper, const CheckSettings& settings,
                       TaskJudge& judge, const CheckTimeLimit& limit, CheckReport& report) {
  std::vector<FoundTask> found;  // released before the helper
  if (!helper.FindTasks(settings.TaskName, found)) throw ESchedTasksHelperError(helper.ErrorText());
  for (const FoundTask& task : found) {
    limit.Enforce();
    CheckReport& taskReport = report.Tasks.emplace_back();
    taskReport.TaskName = task.Name;
    taskReport.WideTaskName = task.Path;
    RunJudged(
        [&] {
          if (!helper.OpenFoundTask(task)) throw ESchedTasksHelperError(helper.ErrorText());
          judge.Judge(helper, taskReport);
        },
        taskReport.Status, taskReport.Text);
  }
  report.Status = SummaryStatus(report.Tasks);
  report.Warning = SummaryWarning(report.Tasks);
  report.Text = SummaryText(report.Tasks);
}

// Starts COM, reaches the scheduler and judges the task, or every task that a pattern
// matches, into the report. Failures are raised; the resources are released before they
// reach the caller.
void CheckTasks(CheckSettings& settings, TimeFrameKind kind, const CheckRules& rules,
                bool pattern, Platform& platform, const RegionalSettings& regional,
                bool unixTimes, const CheckTimeLimit& limit, CheckReport& report) {
  StartCom(platform);
  CheckResources resources(platform, settings);
  TSchedTasksHelper& helper =
      ConnectScheduler(settings, rules.Request(), platform, limit, resources);
  TaskJudge judge(settings, rules, kind, platform, regional, unixTimes);
  if (pattern) {
    JudgePatternTasks(helper, settings, judge, limit, report);
    return;
  }
  report.TaskAsked = true;
  if (!helper.OpenTask(settings.TaskName)) throw ESchedTasksHelperError(helper.ErrorText());
  judge.Judge(helper, report);
}

// Starts the check's time limit with its one result should the time run out, Unknown,
// whatever the check had found by then. The result is rendered now, dated now, so that the
// watchdog has only to write it.
void StartTimeLimit(const CheckSettings& settings, const ReportTarget& target, CheckFacts facts,
                    Platform& platform, CheckTimeLimit& limit) {
  CheckReport timedOut;
  timedOut.Status = CheckStatus::Unknown;
  timedOut.TaskName = settings.TaskName;
  timedOut.Text = TimedOutText(settings.TimeoutSeconds);
  if (ShowsUnixTimes(target.format)) facts.CheckedAtUnixTime = platform.clock.GetUnixTime();
  limit.Start(settings.TimeoutSeconds,
              [target, facts, &platform, taskName = timedOut.TaskName,
               rendered = RenderForTarget(target, timedOut, facts, platform)] {
                return WriteRenderedReport(target, rendered, taskName, facts, platform);
              });
}

// JudgeCheck; with a time limit (RunCheck) it is started here when -timeout: asks for one,
// and the caller delivers the result through it.
CheckOutcome Judge(const std::vector<std::string>& arguments, Platform& platform,
                   const RegionalSettings& regional, const SystemLeadBytes& leadBytes,
                   CheckTimeLimit* limit) {
  CheckTimeLimit unlimited(platform);  // never started
  CheckTimeLimit& timeLimit = limit != nullptr ? *limit : unlimited;
  CheckSettings settings;
  CheckOutcome outcome;
  CheckReport& report = outcome.report;
  CheckFacts& facts = outcome.facts;
  // The one place where the failures of a check become its outcome; those of the
  // tasks of a pattern become theirs.
  RunJudged(
      [&] {
        ParseCommandLine(arguments, platform.timeZone, platform.caseMapping, leadBytes, settings);
        // -version answers alone, whatever else the line holds; a help switch first, or a
        // command line that could not be read, still shows the help text.
        outcome.versionOnly = settings.ShowVersion && !settings.ShowHelp;
        if (outcome.versionOnly) return;
        facts.TaskName = settings.TaskName;
        facts.Host = settings.HostName;  // as given, before the backslashes are added
        facts.TimeFrame = settings.TimeFrameText;
        facts.WarnFrame = !settings.WarnFrameText.empty();
        if (settings.ShowHelp) {
          PrintBanner(platform.console);
          PrintUsage(platform.console);
        }
        TimeFrameKind kind = TimeFrameKind::Today;
        CheckRules rules;
        Validate(settings, kind, rules, leadBytes, outcome.target);
        if (settings.Status != CheckStatus::Ok) return;
        report.TaskName = settings.TaskName;
        if (limit != nullptr && settings.TimeoutSeconds > 0) {
          StartTimeLimit(settings, outcome.target, facts, platform, timeLimit);
        }
        CheckTasks(settings, kind, rules, IsTaskPattern(settings.TaskName, leadBytes), platform,
                   regional, ShowsUnixTimes(outcome.target.format), timeLimit, report);
        settings.Status = report.Status;
        settings.MessageText = report.Text;
      },
      settings.Status, settings.MessageText);
  report.Status = settings.Status;
  report.Text = settings.MessageText;
  if (ShowsUnixTimes(outcome.target.format)) facts.CheckedAtUnixTime = platform.clock.GetUnixTime();
  return outcome;
}

}  // namespace

CheckOutcome JudgeCheck(const std::vector<std::string>& arguments, Platform& platform,
                        const RegionalSettings& regional, const SystemLeadBytes& leadBytes) {
  return Judge(arguments, platform, regional, leadBytes, nullptr);
}

int RunCheck(const std::vector<std::string>& arguments, Platform& platform,
             const RegionalSettings& regional, const SystemLeadBytes& leadBytes) {
  CheckTimeLimit limit(platform);
  const CheckOutcome outcome = Judge(arguments, platform, regional, leadBytes, &limit);
  if (outcome.versionOnly) {
    platform.console.WriteLine("runwarden " + std::string(kProgramVersion));
    return 0;
  }
  return limit.Deliver(
      [&] { return DeliverReport(outcome.target, outcome.report, outcome.facts, platform); });
}

int RunProgram(const ProgramCommandLine& commandLine, Platform& platform) {
  const RegionalSettings regional = ReadRegionalSettings(platform.locale);
  const SystemLeadBytes leadBytes = ReadSystemLeadBytes(platform.locale);
  return RunCheck(ProgramArguments(commandLine, leadBytes), platform, regional, leadBytes);
}

}  // namespace runwarden
