// The last run of a systemd unit, read from its manager's properties.
#ifndef __linux__
#error "unit_run_record_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/unit_run_record_linux.h"

#include <algorithm>
#include <array>
#include <map>

#include "platform/linux/real_platform_linux.h"
#include "platform/linux/systemd_bus_linux.h"

namespace runwarden {
namespace {

// An answer that was not asked for.
constexpr std::size_t kNotAsked = SIZE_MAX;

// The answers about a service's last run in a batch, and about whether its main process
// runs when that was asked.
struct ServiceAnswers {
  std::size_t start = 0, code = 0, status = 0, result = 0;
  std::size_t activeState = kNotAsked, exit = kNotAsked;
};

ServiceAnswers AskServiceRun(PropertyBatch& batch, const std::string& path, bool running) {
  ServiceAnswers answers{batch.Ask(path, kServiceInterface, "ExecMainStartTimestamp"),
                         batch.Ask(path, kServiceInterface, "ExecMainCode"),
                         batch.Ask(path, kServiceInterface, "ExecMainStatus"),
                         batch.Ask(path, kServiceInterface, "Result")};
  if (running) {
    answers.activeState = batch.Ask(path, kUnitInterface, "ActiveState");
    answers.exit = batch.Ask(path, kServiceInterface, "ExecMainExitTimestamp");
  }
  return answers;
}

// The service's last run from its answers; its running state, when asked, with a reader of
// its own, so that a failure there leaves the run as it is.
HResult TakeServiceRun(PropertyBatch& batch, const ServiceAnswers& service, RunRecord& record) {
  AnswerReader reader(batch);
  std::uint64_t start = reader.Number<std::uint64_t>(service.start, 't');
  const auto code = reader.Number<std::int32_t>(service.code, 'i');
  const auto status = reader.Number<std::int32_t>(service.status, 'i');
  const std::string result = reader.Text(service.result);
  if (reader.Failed()) return reader.Result();
  if (start == UINT64_MAX) start = 0;
  record = RunRecord{};
  record.lastStart = start;
  record.exitCode = ServiceExitCode(code, status, result);
  if (service.activeState != kNotAsked) {
    AnswerReader state(batch);
    const std::string activeState = state.Text(service.activeState);
    const auto exit = state.Number<std::uint64_t>(service.exit, 't');
    if (!state.Failed()) record.running = MainProcessRuns(activeState, start, exit);
  }
  return 0;
}

// The answers of a timer that tell whether and when it fires again.
struct TimerScheduleAnswers {
  PropertyBatch* batch = nullptr;
  std::size_t activeState = 0, subState = 0, fileState = 0, realtime = 0, monotonic = 0;
};

TimerScheduleAnswers AskTimerSchedule(PropertyBatch& batch, const std::string& path) {
  return {&batch,
          batch.Ask(path, kUnitInterface, "ActiveState"),
          batch.Ask(path, kUnitInterface, "SubState"),
          batch.Ask(path, kUnitInterface, "UnitFileState"),
          batch.Ask(path, kTimerInterface, "NextElapseUSecRealtime"),
          batch.Ask(path, kTimerInterface, "NextElapseUSecMonotonic")};
}

std::optional<UnitSchedule> TakeTimerSchedule(const TimerScheduleAnswers& answers,
                                              const std::optional<ManagerClocks>& clocks) {
  AnswerReader reader(*answers.batch);
  TimerAnswers timer;
  timer.activeState = reader.Text(answers.activeState);
  timer.subState = reader.Text(answers.subState);
  timer.unitFileState = reader.Text(answers.fileState);
  timer.nextRealtime = reader.Number<std::uint64_t>(answers.realtime, 't');
  timer.nextMonotonic = reader.Number<std::uint64_t>(answers.monotonic, 't');
  if (reader.Failed()) return std::nullopt;
  return ScheduleOfTimer(timer, clocks);
}

// The questions about one unit in a batch of many. state: the load state when the listing
// gave it; otherwise stateAnswer is asked.
struct UnitQuestions {
  PropertyBatch* batch = nullptr;
  std::string state;
  std::size_t stateAnswer = 0;
  ServiceAnswers service;
  std::size_t triggeredBy = kNotAsked;           // a listed service's, for its schedule
  std::size_t lastTrigger = 0, serviceName = 0;  // a timer's
  std::optional<TimerScheduleAnswers> schedule;  // a listed timer's
};

// listed: the unit is a task of the check, whose schedule is read when asked for; else the
// service of a timer, whose running state alone is.
UnitQuestions AskUnit(PropertyBatch& batch, const std::string& name, const std::string& state,
                      const TaskValueRequest& values, bool listed) {
  UnitQuestions questions;
  questions.batch = &batch;
  questions.state = state;
  const std::string path = UnitPath(name);
  if (state.empty()) questions.stateAnswer = batch.Ask(path, kUnitInterface, "LoadState");
  const bool schedule = listed && values.scheduleState;
  if (KindOfUnit(name) == UnitKind::Service) {
    questions.service = AskServiceRun(batch, path, values.runningState);
    if (schedule) questions.triggeredBy = batch.Ask(path, kUnitInterface, "TriggeredBy");
  } else {
    questions.lastTrigger = batch.Ask(path, kTimerInterface, "LastTriggerUSec");
    questions.serviceName = batch.Ask(path, kTimerInterface, "Unit");
    if (schedule) questions.schedule = AskTimerSchedule(batch, path);
  }
  return questions;
}

// For each service whose TriggeredBy was asked, the timers among the units that trigger it,
// none when it could not be read. Each timer's schedule is asked in batch, unless
// timerSchedules holds it already (a listed timer), and added there.
std::map<std::string, std::optional<std::vector<std::string>>> AskTriggeringTimers(
    const std::map<std::string, UnitQuestions>& services, PropertyBatch& batch,
    std::map<std::string, TimerScheduleAnswers>& timerSchedules) {
  std::map<std::string, std::optional<std::vector<std::string>>> triggeredBy;
  for (const auto& [service, questions] : services) {
    if (questions.triggeredBy == kNotAsked) continue;
    AnswerReader reader(*questions.batch);
    std::vector<std::string> units = reader.Texts(questions.triggeredBy);
    auto& timers = triggeredBy[service];
    if (reader.Failed()) continue;
    std::erase_if(units,
                  [](const std::string& unit) { return KindOfUnit(unit) != UnitKind::Timer; });
    for (const std::string& timer : units) {
      if (!timerSchedules.contains(timer)) {
        timerSchedules.emplace(timer, AskTimerSchedule(batch, UnitPath(timer)));
      }
    }
    timers = std::move(units);
  }
  return triggeredBy;
}

// A service's schedule by those of its timers; none when one of them is not known.
std::optional<UnitSchedule> ScheduleByTimers(
    const std::vector<std::string>& timers,
    const std::map<std::string, std::optional<UnitSchedule>>& schedules) {
  std::vector<UnitSchedule> known;
  for (const std::string& timer : timers) {
    const auto schedule = schedules.find(timer);
    if (schedule == schedules.end() || !schedule->second) return std::nullopt;
    known.push_back(*schedule->second);
  }
  return ScheduleOfService(known);
}

// The load state from the listing or the answer; "" when the answer failed.
std::string LoadStateOf(AnswerReader& reader, const UnitQuestions& questions) {
  return questions.state.empty() ? reader.Text(questions.stateAnswer) : questions.state;
}

}  // namespace

// A service or a timer is read as one listed unit; any other unit only says whether it
// exists.
HResult ReadRunRecord(const ManagerBus& manager, const std::string& unitName,
                      const TaskValueRequest& values, UnitJournal* journal, RunRecord& record) {
  if (KindOfUnit(unitName) == UnitKind::Other) {
    PropertyBatch batch(manager);
    AnswerReader reader(batch);
    const std::size_t loadState = batch.Ask(UnitPath(unitName), kUnitInterface, "LoadState");
    batch.Wait();
    const std::string state = reader.Text(loadState);
    if (reader.Failed()) return reader.Result();
    return state == "not-found" ? kUnknownTask : kNoInterface;
  }
  std::map<std::string, UnitRun> runs;
  std::vector<std::pair<std::string, std::string>> started;
  ReadRunRecords(manager, {{unitName, ""}}, values, journal, runs, started);
  const UnitRun& run = runs[unitName];
  if (run.result == 0) record = run.record;
  return run.result;
}

// The first batch asks about every listed unit and, for each timer, about the service of
// its own name, which a timer starts unless its Unit= says otherwise; a second batch asks
// about the services named otherwise, and about the timers that trigger a listed service
// when its schedule is asked for and no listed timer is that one. Each unit's answers are
// read as ReadRunRecord reads them, the listing's load state standing in for the one it
// asks.
void ReadRunRecords(const ManagerBus& manager, const std::vector<ListedUnit>& units,
                    const TaskValueRequest& values, UnitJournal* journal,
                    std::map<std::string, UnitRun>& runs,
                    std::vector<std::pair<std::string, std::string>>& started) {
  PropertyBatch first(manager), second(manager);
  std::map<std::string, UnitQuestions> services, timers;
  for (const ListedUnit& unit : units) {
    auto& questions = KindOfUnit(unit.name) == UnitKind::Service ? services : timers;
    questions.emplace(unit.name, AskUnit(first, unit.name, unit.loadState, values, true));
  }
  for (const auto& [timer, questions] : timers) {
    const std::string service = timer.substr(0, timer.size() - 6) + ".service";
    if (!services.contains(service)) {
      services.emplace(service, AskUnit(first, service, "", values, false));
    }
  }
  first.Wait();

  std::map<std::string, std::uint64_t> triggers;  // of the timers that start a service
  for (const auto& [timer, questions] : timers) {
    AnswerReader reader(*questions.batch);
    UnitRun& run = runs[timer];
    if (LoadStateOf(reader, questions) == "not-found") {
      run = {kUnknownTask, {}};
      continue;
    }
    const auto lastTrigger = reader.Number<std::uint64_t>(questions.lastTrigger, 't');
    const std::string service = reader.Text(questions.serviceName);
    if (reader.Failed()) {
      run = {reader.Result(), {}};
    } else if (KindOfUnit(service) != UnitKind::Service) {
      run = {};
      run.record.lastStart = lastTrigger == UINT64_MAX ? 0 : lastTrigger;
    } else {
      triggers[timer] = lastTrigger;
      started.emplace_back(timer, service);
      if (!services.contains(service)) {
        services.emplace(service, AskUnit(second, service, "", values, false));
      }
    }
  }
  std::map<std::string, TimerScheduleAnswers> timerSchedules;
  for (const auto& [timer, questions] : timers) {
    if (questions.schedule) timerSchedules.emplace(timer, *questions.schedule);
  }
  const auto triggeredBy = AskTriggeringTimers(services, second, timerSchedules);
  second.Wait();

  // The offset of the manager's clocks, for the timers that elapse on its monotonic clock:
  // known only for the manager of this computer.
  const std::optional<ManagerClocks> clocks =
      manager.remote ? std::nullopt : std::optional(LocalClocks());
  std::map<std::string, std::optional<UnitSchedule>> schedules;
  for (const auto& [timer, answers] : timerSchedules) {
    schedules[timer] = TakeTimerSchedule(answers, clocks);
  }

  std::map<std::string, UnitRun> serviceRuns;
  for (const auto& [service, questions] : services) {
    AnswerReader reader(*questions.batch);
    UnitRun& run = serviceRuns[service];
    const std::string state = LoadStateOf(reader, questions);
    if (reader.Failed()) {
      run.result = reader.Result();
    } else if (state == "not-found") {
      run.result = kUnknownTask;
    } else {
      run.result = TakeServiceRun(*questions.batch, questions.service, run.record);
    }
    if (journal != nullptr) TakeJournalRun(*journal, service, run);
    run.record.service = service;
    const auto serviceTimers = triggeredBy.find(service);
    if (run.result == 0 && serviceTimers != triggeredBy.end() && serviceTimers->second) {
      run.record.schedule = ScheduleByTimers(*serviceTimers->second, schedules);
    }
  }
  for (const ListedUnit& unit : units) {
    if (KindOfUnit(unit.name) == UnitKind::Service) runs[unit.name] = serviceRuns[unit.name];
  }
  for (const auto& [timer, service] : started) {
    UnitRun run = serviceRuns[service];
    if (run.result == 0) {
      const std::uint64_t trigger = triggers[timer];
      run.record.lastStart = std::max(run.record.lastStart, trigger == UINT64_MAX ? 0 : trigger);
    }
    runs[timer] = run;
  }
  // A timer's schedule is its own, whatever its service's.
  for (const auto& [timer, questions] : timers) {
    UnitRun& run = runs[timer];
    const auto schedule = schedules.find(timer);
    if (run.result == 0) {
      run.record.schedule = schedule == schedules.end() ? std::nullopt : schedule->second;
    }
  }
}

void TakeJournalRun(UnitJournal& journal, const std::string& service, UnitRun& run) {
  const bool known = run.result == 0 && run.record.lastStart != 0;
  if ((run.result != 0 && run.result != kUnknownTask) || (known && !journal.Cheap())) return;
  const std::optional<JournalRun>& last = journal.LastRun(service);
  if (!last || last->start == 0 || (known && last->start <= run.record.lastStart)) return;
  if (run.result != 0) run = {};
  run.record.lastStart = last->start;
  run.record.exitCode = last->exitCode;
}

bool HasUnitTypeSuffix(std::string_view name) {
  static constexpr std::array<std::string_view, 11> kTypes = {
      ".service", ".timer", ".socket", ".device", ".mount", ".automount",
      ".swap",    ".target", ".path",  ".slice",  ".scope"};
  return std::any_of(kTypes.begin(), kTypes.end(),
                     [&](std::string_view type) { return name.ends_with(type); });
}

std::string UnitNameOfTask(std::string_view taskName) {
  std::string name(taskName);
  if (!HasUnitTypeSuffix(name)) name += ".service";
  return name;
}

UnitKind KindOfUnit(std::string_view unitName) {
  if (unitName.ends_with(".service")) return UnitKind::Service;
  if (unitName.ends_with(".timer")) return UnitKind::Timer;
  return UnitKind::Other;
}

std::uint32_t ServiceExitCode(std::int32_t execMainCode, std::int32_t execMainStatus,
                              std::string_view result) {
  constexpr std::int32_t kExited = 1, kKilled = 2, kDumped = 3;  // CLD_* of waitid()
  if (result == "success") return 0;
  if (execMainCode == kExited && execMainStatus != 0) {
    return static_cast<std::uint32_t>(execMainStatus);
  }
  if (execMainCode == kKilled || execMainCode == kDumped) {
    return 128u + static_cast<std::uint32_t>(execMainStatus);
  }
  // The unit failed although no main process reports a failure (a failing ExecStartPost=,
  // a timeout, a start limit): that must not read as success.
  return 1;
}

SystemTime LocalSystemTimeOfMicroseconds(std::uint64_t microseconds) {
  if (microseconds == 0 || microseconds == UINT64_MAX) return {};
  return LocalSystemTime(static_cast<std::time_t>(microseconds / 1'000'000),
                         static_cast<std::uint16_t>(microseconds % 1'000'000 / 1000));
}

}  // namespace runwarden
