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

// The answers about a service's last run in a batch.
struct ServiceAnswers {
  std::size_t start = 0, code = 0, status = 0, result = 0;
};

ServiceAnswers AskServiceRun(PropertyBatch& batch, const std::string& path) {
  return {batch.Ask(path, kServiceInterface, "ExecMainStartTimestamp"),
          batch.Ask(path, kServiceInterface, "ExecMainCode"),
          batch.Ask(path, kServiceInterface, "ExecMainStatus"),
          batch.Ask(path, kServiceInterface, "Result")};
}

// The service's last run from its answers.
HResult TakeServiceRun(AnswerReader& reader, const ServiceAnswers& service, RunRecord& record) {
  std::uint64_t start = reader.Number<std::uint64_t>(service.start, 't');
  const auto code = reader.Number<std::int32_t>(service.code, 'i');
  const auto status = reader.Number<std::int32_t>(service.status, 'i');
  const std::string result = reader.Text(service.result);
  if (reader.Failed()) return reader.Result();
  if (start == UINT64_MAX) start = 0;
  record = {start, ServiceExitCode(code, status, result)};
  return 0;
}

// The questions about one unit in a batch of many. state: the load state when the listing
// gave it; otherwise stateAnswer is asked.
struct UnitQuestions {
  PropertyBatch* batch = nullptr;
  std::string state;
  std::size_t stateAnswer = 0;
  ServiceAnswers service;
  std::size_t lastTrigger = 0, serviceName = 0;  // a timer's
};

UnitQuestions AskUnit(PropertyBatch& batch, const std::string& name, const std::string& state) {
  UnitQuestions questions;
  questions.batch = &batch;
  questions.state = state;
  const std::string path = UnitPath(name);
  if (state.empty()) questions.stateAnswer = batch.Ask(path, kUnitInterface, "LoadState");
  if (KindOfUnit(name) == UnitKind::Service) {
    questions.service = AskServiceRun(batch, path);
  } else {
    questions.lastTrigger = batch.Ask(path, kTimerInterface, "LastTriggerUSec");
    questions.serviceName = batch.Ask(path, kTimerInterface, "Unit");
  }
  return questions;
}

// The load state from the listing or the answer; "" when the answer failed.
std::string LoadStateOf(AnswerReader& reader, const UnitQuestions& questions) {
  return questions.state.empty() ? reader.Text(questions.stateAnswer) : questions.state;
}

}  // namespace

// A service or a timer is read as one listed unit; any other unit only says whether it
// exists.
HResult ReadRunRecord(const ManagerBus& manager, const std::string& unitName, RunRecord& record) {
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
  ReadRunRecords(manager, {{unitName, ""}}, runs, started);
  const UnitRun& run = runs[unitName];
  if (run.result == 0) record = run.record;
  return run.result;
}

// The first batch asks about every listed unit and, for each timer, about the service of
// its own name, which a timer starts unless its Unit= says otherwise; a second batch asks
// about the services named otherwise. Each unit's answers are read as ReadRunRecord reads
// them, the listing's load state standing in for the one it asks.
void ReadRunRecords(const ManagerBus& manager, const std::vector<ListedUnit>& units,
                    std::map<std::string, UnitRun>& runs,
                    std::vector<std::pair<std::string, std::string>>& started) {
  PropertyBatch first(manager), second(manager);
  std::map<std::string, UnitQuestions> services, timers;
  for (const ListedUnit& unit : units) {
    auto& questions = KindOfUnit(unit.name) == UnitKind::Service ? services : timers;
    questions.emplace(unit.name, AskUnit(first, unit.name, unit.loadState));
  }
  for (const auto& [timer, questions] : timers) {
    const std::string service = timer.substr(0, timer.size() - 6) + ".service";
    if (!services.contains(service)) services.emplace(service, AskUnit(first, service, ""));
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
      run = {0, {lastTrigger == UINT64_MAX ? 0 : lastTrigger, 0}};
    } else {
      triggers[timer] = lastTrigger;
      started.emplace_back(timer, service);
      if (!services.contains(service)) services.emplace(service, AskUnit(second, service, ""));
    }
  }
  second.Wait();

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
      run.result = TakeServiceRun(reader, questions.service, run.record);
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
}

std::string UnitNameOfTask(std::string_view taskName) {
  std::string name(taskName);
  if (KindOfUnit(name) == UnitKind::Other) {
    static constexpr std::array<std::string_view, 9> kOtherTypes = {
        ".socket", ".device", ".mount", ".automount", ".swap", ".target", ".path", ".slice", ".scope"};
    if (std::none_of(kOtherTypes.begin(), kOtherTypes.end(),
                     [&](std::string_view type) { return name.ends_with(type); })) {
      name += ".service";
    }
  }
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
