#include "core/sched_tasks_helper.h"

#include <array>

#include "core/integer_text.h"

namespace runwarden {
namespace {

// Lives from program start to program end; shared by every conversion.
std::array<char16_t, kWideNameBufferUnits> WideNameBuffer;

std::string FailureText(std::string_view lead, std::string_view name, HResult result) {
  std::string text(lead);
  text += '"';
  text += name;
  text += "\"; Error Code: ";
  text += HexText(static_cast<std::uint32_t>(result), 8);
  return text;
}

// OpenTask without a scheduler object (E_POINTER); Connect must succeed first.
constexpr HResult kNoScheduler = static_cast<HResult>(0x80004003);

}  // namespace

const char16_t* WideName(WideText& wideText, std::string_view text) {
  // n bytes become at most n units, so up to 511 bytes fit with the terminator.
  if (text.size() >= WideNameBuffer.size()) return nullptr;
  const int length = static_cast<int>(text.size());
  int written = length == 0 ? 0
                            : wideText.MultiByteToWideChar(kAnsiCodePage, 0, text.data(), length,
                                                           WideNameBuffer.data(), length);
  if (written < 0 || written > length) written = 0;
  WideNameBuffer[static_cast<std::size_t>(written)] = u'\0';
  return WideNameBuffer.data();
}

TSchedTasksHelper::~TSchedTasksHelper() {
  ActivatedItem.Release();
  Task.Release();
  Scheduler.Release();
}

bool TSchedTasksHelper::Connect(std::string_view host) {
  Scheduler.Release();
  const HResult created = com_.CoCreateInstance(CLSID_CTaskScheduler, nullptr, kClassContextInprocServer,
                                                IID_ITaskScheduler, Scheduler.Put());
  if (created != 0 || !Scheduler) {
    errorText_ = "Error in CoCreateInstance. Error Code: " +
                 HexText(static_cast<std::uint32_t>(created), 8);
    return false;
  }
  if (host.empty()) return true;
  const char16_t* computer = WideName(wideText_, host);
  const HResult targeted = computer ? Scheduler.Get()->SetTargetComputer(computer) : kNameTooLong;
  if (targeted == 0) return true;
  errorText_ = FailureText("Cannot connect to computer: ", host, targeted);
  return false;
}

bool TSchedTasksHelper::OpenTask(std::string_view name) {
  ActivatedItem.Release();
  HResult activated = kNoScheduler;
  if (Scheduler) {
    const char16_t* wideName = WideName(wideText_, name);
    activated = wideName ? Scheduler.Get()->Activate(wideName, IID_ITask, ActivatedItem.Put())
                         : kNameTooLong;
  }
  if (activated == 0 && ActivatedItem) {
    Task.Assign(ActivatedItem.Get());
    return true;
  }
  errorText_ = FailureText("Cannot find task ", name, activated);
  return false;
}

DateTime TSchedTasksHelper::LastRunTime() {
  if (!Task) return 0;
  SystemTime lastRun{};  // stays all zero, and so no date, when the call fills nothing
  Task.Get()->GetMostRecentRunTime(&lastRun);
  return DateTimeFromSystemTime(lastRun);
}

std::uint32_t TSchedTasksHelper::LastExitCode() {
  std::uint32_t exitCode = 0;
  if (Task) Task.Get()->GetExitCode(&exitCode);
  return exitCode;
}

}  // namespace runwarden
