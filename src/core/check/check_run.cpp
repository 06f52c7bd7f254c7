#include "core/check/check_run.h"

#include <exception>
#include <string>
#include <vector>

#include "core/calendar/errors.h"
#include "core/check/check_resources.h"
#include "core/check/check_rules.h"
#include "core/check/check_time_limit.h"
#include "core/check/check_validation.h"
#include "core/check/command_line_options.h"
#include "core/check/help_text.h"
#include "core/check/program_version.h"
#include "core/check/report_delivery.h"
#include "core/check/split_command_line.h"
#include "core/check/task_judge.h"
#include "core/check/time_frames.h"
#include "core/report/report_forms.h"
#include "core/report/task_summary.h"
#include "core/tasks/sched_tasks_helper.h"
#include "core/tasks/task_names.h"

namespace runwarden {
namespace {

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
  report.TextIsSummary = true;
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
  RenderedReport rendered = RenderForTarget(target, timedOut, facts, platform);
  const int unknownStatus = rendered.exitStatus;
  limit.Start(settings.TimeoutSeconds, unknownStatus,
              [target, facts, &platform, taskName = timedOut.TaskName,
               rendered = std::move(rendered)] {
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
        if (!ShowsLogLines(outcome.target.format)) rules.LastLogLines = 0;
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
    const std::string line = "runwarden " + std::string(kProgramVersion);
    return WriteStandardOutput(ReportFormat::ScriptRes,
                               {line + std::string(platform.console.LineEnd()), 0}, platform);
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
