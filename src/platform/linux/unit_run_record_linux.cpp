// The last run of a systemd unit, read from its manager's properties.
#ifndef __linux__
#error "unit_run_record_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/unit_run_record_linux.h"

#include <algorithm>
#include <array>

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

// The service's last run from its answers; its start is the later of its own and
// lastTrigger (0, or the last trigger of the timer that starts it).
HResult TakeServiceRun(PropertyBatch& batch, const ServiceAnswers& service,
                       std::uint64_t lastTrigger, RunRecord& record) {
  std::uint64_t start = batch.Number<std::uint64_t>(service.start, 't');
  const auto code = batch.Number<std::int32_t>(service.code, 'i');
  const auto status = batch.Number<std::int32_t>(service.status, 'i');
  const std::string result = batch.Text(service.result);
  if (batch.Failed()) return batch.Result();
  if (lastTrigger == UINT64_MAX) lastTrigger = 0;
  if (start == UINT64_MAX) start = 0;
  record = {std::max(start, lastTrigger), ServiceExitCode(code, status, result)};
  return 0;
}

}  // namespace

// One batch asks for everything the unit's kind tells; a timer's service takes a second one.
HResult ReadRunRecord(sd_bus* bus, bool remote, const std::string& unitName, RunRecord& record) {
  PropertyBatch batch(bus, remote);
  const UnitKind kind = KindOfUnit(unitName);
  const std::string path = UnitPath(unitName);
  const std::size_t loadState = batch.Ask(path, kUnitInterface, "LoadState");
  ServiceAnswers service;
  std::size_t lastTriggerAnswer = 0, serviceNameAnswer = 0;
  if (kind == UnitKind::Service) service = AskServiceRun(batch, path);
  if (kind == UnitKind::Timer) {
    lastTriggerAnswer = batch.Ask(path, kTimerInterface, "LastTriggerUSec");
    serviceNameAnswer = batch.Ask(path, kTimerInterface, "Unit");
  }
  batch.Wait();
  const std::string state = batch.Text(loadState);
  if (batch.Failed()) return batch.Result();
  if (state == "not-found") return kUnknownTask;

  switch (kind) {
    case UnitKind::Service:
      return TakeServiceRun(batch, service, 0, record);
    case UnitKind::Timer:
      break;
    case UnitKind::Other:
      return kNoInterface;
  }
  const auto lastTrigger = batch.Number<std::uint64_t>(lastTriggerAnswer, 't');
  const std::string serviceName = batch.Text(serviceNameAnswer);
  if (batch.Failed()) return batch.Result();
  if (KindOfUnit(serviceName) != UnitKind::Service) {  // a timer that starts no service
    record = {lastTrigger == UINT64_MAX ? 0 : lastTrigger, 0};
    return 0;
  }
  PropertyBatch serviceBatch(bus, remote);
  const std::string servicePath = UnitPath(serviceName);
  const std::size_t serviceState = serviceBatch.Ask(servicePath, kUnitInterface, "LoadState");
  service = AskServiceRun(serviceBatch, servicePath);
  serviceBatch.Wait();
  if (serviceBatch.Text(serviceState) == "not-found") return kUnknownTask;
  return TakeServiceRun(serviceBatch, service, lastTrigger, record);
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
