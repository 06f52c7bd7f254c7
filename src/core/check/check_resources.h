#pragma once
// What a check acquires to reach the scheduler: COM, the account it works under and the
// connection to the scheduler of its computer, released in one step.

#include <memory>

#include "core/check/check_settings.h"
#include "core/check/check_time_limit.h"
#include "core/tasks/sched_tasks_helper.h"
#include "platform/platform.h"

namespace runwarden {

// Everything a check acquires after COM has started. The destructor is the one clean-up
// step, run whether or not the check failed: the helper with its scheduler objects, then
// the impersonation and the logon token, then COM. The network connection stays.
class CheckResources {
 public:
  CheckResources(Platform& platform, CheckSettings& settings)
      : platform_(platform), settings_(settings) {}
  CheckResources(const CheckResources&) = delete;
  CheckResources& operator=(const CheckResources&) = delete;
  ~CheckResources();

  TSchedTasksHelper& CreateHelper();

 private:
  Platform& platform_;
  CheckSettings& settings_;
  std::unique_ptr<TSchedTasksHelper> helper_;
};

// COM for the check; a failure is raised before anything else was acquired.
void StartCom(Platform& platform);

// Works under the check's account and reaches the scheduler of its computer, telling it
// first what the check will read beyond the last run and exit code, if anything; unless
// the logon and the network connection took the check's time.
TSchedTasksHelper& ConnectScheduler(CheckSettings& settings, const TaskValueRequest& request,
                                    Platform& platform, const CheckTimeLimit& limit,
                                    CheckResources& resources);

}  // namespace runwarden
