// Reading the timer data of systemd units.
#ifndef __linux__
#error "timer_schedule_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/timer_schedule_linux.h"

#include <algorithm>
#include <array>
#include <map>
#include <string_view>

#include "platform/linux/unit_run_record_linux.h"

namespace runwarden {
namespace {

constexpr char kTimedateService[] = "org.freedesktop.timedate1";
constexpr char kTimedatePath[] = "/org/freedesktop/timedate1";

// Zero for unset (UINT64_MAX).
std::uint64_t Moment(std::uint64_t usec) { return usec == UINT64_MAX ? 0 : usec; }

// The entries of an a(sst) or a(stt) property: the base name and the first number; for
// TimersCalendar the text, whose number is the next elapse.
template <class Entry, class Take>
bool ReadEntries(sd_bus_message* reply, const char* signature, Take take) {
  if (reply == nullptr) return false;
  const std::string array = std::string("a(") + signature + ")";
  int r = sd_bus_message_enter_container(reply, 'v', array.c_str());
  if (r >= 0) r = sd_bus_message_enter_container(reply, 'a', array.c_str() + 1);
  while (r >= 0) {
    Entry entry{};
    const char* base = nullptr;
    std::uint64_t next = 0;
    r = sd_bus_message_read(reply, array.c_str() + 1, &base, &entry, &next);
    if (r <= 0) break;
    take(base ? base : "", entry);
  }
  if (r >= 0) r = sd_bus_message_exit_container(reply);
  if (r >= 0) r = sd_bus_message_exit_container(reply);
  return r >= 0;
}

// Container virtualisations, in which a timer's boot is its manager's start.
bool IsContainer(std::string_view virtualization) {
  static constexpr std::array<std::string_view, 10> kContainers = {
      "openvz", "lxc", "lxc-libvirt", "systemd-nspawn", "docker",
      "podman", "rkt", "wsl",         "proot",          "pouch"};
  return std::find(kContainers.begin(), kContainers.end(), virtualization) != kContainers.end();
}

// The zone named by a TZ value of the tz database (":Europe/Berlin" or "Europe/Berlin").
std::string ZoneOfTz(std::string_view tz) {
  if (tz.starts_with(':')) tz.remove_prefix(1);
  return std::string(tz);
}

// The answers about one timer in a batch.
struct TimerDataAnswers {
  PropertyBatch* batch = nullptr;
  std::size_t calendar = 0, monotonic = 0, delay = 0, accuracy = 0, lastTrigger = 0,
              activated = 0, unit = 0;
};

TimerDataAnswers AskTimer(PropertyBatch& batch, const std::string& timer) {
  const std::string path = UnitPath(timer);
  return {&batch,
          batch.Ask(path, kTimerInterface, "TimersCalendar"),
          batch.Ask(path, kTimerInterface, "TimersMonotonic"),
          batch.Ask(path, kTimerInterface, "RandomizedDelayUSec"),
          batch.Ask(path, kTimerInterface, "AccuracyUSec"),
          batch.Ask(path, kTimerInterface, "LastTriggerUSec"),
          batch.Ask(path, kUnitInterface, "InactiveExitTimestamp"),
          batch.Ask(path, kTimerInterface, "Unit")};
}

// The last activation and deactivation of the unit a timer starts.
struct UnitAnswers {
  PropertyBatch* batch = nullptr;
  std::size_t activated = 0, deactivated = 0;
};

UnitAnswers AskStartedUnit(PropertyBatch& batch, const std::string& unit) {
  const std::string path = UnitPath(unit);
  return {&batch, batch.Ask(path, kUnitInterface, "InactiveExitTimestamp"),
          batch.Ask(path, kUnitInterface, "InactiveEnterTimestamp")};
}

// The timer's own data; its started unit's name in startedUnit. 0 or the result code.
HResult TakeTimer(const TimerDataAnswers& answers, TimerSchedule& timer, std::string& startedUnit) {
  AnswerReader reader(*answers.batch);
  timer.randomizedDelayUsec = reader.Number<std::uint64_t>(answers.delay, 't');
  timer.accuracyUsec = reader.Number<std::uint64_t>(answers.accuracy, 't');
  timer.lastTriggerUsec = Moment(reader.Number<std::uint64_t>(answers.lastTrigger, 't'));
  timer.activatedUsec = Moment(reader.Number<std::uint64_t>(answers.activated, 't'));
  startedUnit = reader.Text(answers.unit);
  const bool calendar = ReadEntries<const char*>(
      reader.Reply(answers.calendar), "sst",
      [&](const char*, const char* event) { timer.calendar.emplace_back(event ? event : ""); });
  const bool monotonic = ReadEntries<std::uint64_t>(
      reader.Reply(answers.monotonic), "stt", [&](const char* base, std::uint64_t usec) {
        timer.monotonic.push_back({base, usec});
      });
  if (reader.Failed()) return reader.Result();
  return calendar && monotonic ? 0 : kFailure;
}

HResult TakeStartedUnit(const UnitAnswers& answers, TimerSchedule& timer) {
  AnswerReader reader(*answers.batch);
  timer.unitActivatedUsec = Moment(reader.Number<std::uint64_t>(answers.activated, 't'));
  timer.unitDeactivatedUsec = Moment(reader.Number<std::uint64_t>(answers.deactivated, 't'));
  return reader.Failed() ? reader.Result() : 0;
}

// Whether a normalised expression ends in a zone of its own ("... UTC" included).
bool HasOwnZone(std::string_view event) {
  const std::size_t space = event.rfind(' ');
  const std::string_view last = space == std::string_view::npos ? "" : event.substr(space + 1);
  return last == "UTC" || last.find('/') != std::string_view::npos;
}

}  // namespace

struct TimerScheduleSource::FactAnswers {
  PropertyBatch* batch = nullptr;
  std::size_t userspace = 0, userspaceMonotonic = 0, virtualization = 0;
  std::size_t environment = SIZE_MAX, timezone = SIZE_MAX;  // remote only
};

TimerScheduleSource::TimerScheduleSource(const ManagerBus& manager) : manager_(manager) {
  sd_bus_ref(manager_.bus);
}

TimerScheduleSource::~TimerScheduleSource() { sd_bus_unref(manager_.bus); }

// The manager's start and the boot (its start less its monotonic clock then). Remote: the
// zone its computer runs in, TZ of the manager's environment where it has one (the
// manager's own rules then), else timedated's zone.
TimerScheduleSource::FactAnswers TimerScheduleSource::AskFacts(PropertyBatch& batch) const {
  FactAnswers answers;
  answers.batch = &batch;
  answers.userspace = batch.Ask(kManagerPath, kManagerInterface, "UserspaceTimestamp");
  answers.userspaceMonotonic =
      batch.Ask(kManagerPath, kManagerInterface, "UserspaceTimestampMonotonic");
  answers.virtualization = batch.Ask(kManagerPath, kManagerInterface, "Virtualization");
  if (manager_.remote) {
    answers.environment = batch.Ask(kManagerPath, kManagerInterface, "Environment");
    sd_bus_message* call = nullptr;
    int r = sd_bus_message_new_method_call(manager_.bus, &call, kTimedateService, kTimedatePath,
                                           "org.freedesktop.DBus.Properties", "Get");
    if (r >= 0) r = sd_bus_message_append(call, "ss", kTimedateService, "Timezone");
    answers.timezone = batch.Call(call, r);
  }
  return answers;
}

HResult TimerScheduleSource::TakeFacts(const FactAnswers& answers) {
  ManagerFacts facts;
  AnswerReader clocks(*answers.batch);
  facts.startUsec = Moment(clocks.Number<std::uint64_t>(answers.userspace, 't'));
  const auto monotonic = clocks.Number<std::uint64_t>(answers.userspaceMonotonic, 't');
  const std::string virtualization = clocks.Text(answers.virtualization);
  if (clocks.Failed()) return clocks.Result();
  facts.bootUsec = IsContainer(virtualization) || facts.startUsec < monotonic
                       ? facts.startUsec
                       : facts.startUsec - monotonic;
  facts.zone = "";
  if (manager_.remote) {
    facts.zone.reset();
    AnswerReader environment(*answers.batch), timedate(*answers.batch);
    for (const std::string& variable : environment.Texts(answers.environment)) {
      if (variable.starts_with("TZ=")) facts.zone = ZoneOfTz(variable.substr(3));
    }
    const std::string zone = facts.zone ? "" : timedate.Text(answers.timezone);
    if (!facts.zone && !timedate.Failed() && !zone.empty()) facts.zone = zone;
  }
  facts_ = facts;
  return 0;
}

HResult TimerScheduleSource::Read(const std::string& unitName,
                                  std::vector<TimerSchedule>& schedules) {
  schedules.clear();
  const UnitKind kind = KindOfUnit(unitName);
  if (kind == UnitKind::Other) return 0;
  // A timer: its data and its service's in one batch; a service: the timers that trigger
  // it first. A unit that a timer names otherwise is asked about in a last batch.
  PropertyBatch first(manager_), second(manager_), last(manager_);
  std::optional<FactAnswers> facts;
  if (!facts_) facts = AskFacts(first);
  std::vector<std::string> timers;
  std::map<std::string, TimerDataAnswers> timerAnswers;
  std::map<std::string, UnitAnswers> unitAnswers;
  std::size_t triggeredBy = 0;
  if (kind == UnitKind::Service) {
    triggeredBy = first.Ask(UnitPath(unitName), kUnitInterface, "TriggeredBy");
    unitAnswers.emplace(unitName, AskStartedUnit(first, unitName));
  } else {
    timers.push_back(unitName);
    timerAnswers.emplace(unitName, AskTimer(first, unitName));
    const std::string service = unitName.substr(0, unitName.size() - 6) + ".service";
    unitAnswers.emplace(service, AskStartedUnit(first, service));
  }
  first.Wait();
  if (facts) {
    if (const HResult read = TakeFacts(*facts); read != 0) return read;
  }
  if (kind == UnitKind::Service) {
    AnswerReader reader(first);
    for (const std::string& unit : reader.Texts(triggeredBy)) {
      if (KindOfUnit(unit) != UnitKind::Timer) continue;
      timers.push_back(unit);
      timerAnswers.emplace(unit, AskTimer(second, unit));
    }
    if (reader.Failed()) return reader.Result();
    second.Wait();
  }
  std::vector<std::string> started(timers.size());
  for (std::size_t i = 0; i < timers.size(); ++i) {
    TimerSchedule& timer = schedules.emplace_back();
    timer.timer = timers[i];
    const HResult read = TakeTimer(timerAnswers[timers[i]], timer, started[i]);
    if (read != 0) return read;
    if (!unitAnswers.contains(started[i])) {
      unitAnswers.emplace(started[i], AskStartedUnit(last, started[i]));
    }
  }
  last.Wait();
  for (std::size_t i = 0; i < schedules.size(); ++i) {
    TimerSchedule& timer = schedules[i];
    if (const HResult read = TakeStartedUnit(unitAnswers[started[i]], timer); read != 0) {
      return read;
    }
    timer.bootUsec = facts_->bootUsec;
    timer.managerStartUsec = facts_->startUsec;
    const bool zoneNeeded = std::any_of(timer.calendar.begin(), timer.calendar.end(),
                                        [](const std::string& event) { return !HasOwnZone(event); });
    if (zoneNeeded && !facts_->zone) return kFailure;
    timer.zone = facts_->zone.value_or("");
  }
  return 0;
}

}  // namespace runwarden
