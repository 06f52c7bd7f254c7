#include "core/check/check_resources.h"

#include <cstdint>
#include <string>

#include "core/access/impersonation.h"
#include "core/access/remote_connection.h"
#include "core/access/stored_credential.h"
#include "core/calendar/errors.h"
#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

void NormaliseHostName(std::string& host) {
  if (!host.empty() && host.rfind("\\\\", 0) != 0) host.insert(0, "\\\\");
}

// The account and password of the stored credential that -cred: names, over those of the
// command line; a credential that cannot be read stops the check.
void UseStoredCredential(CheckSettings& settings, Platform& platform) {
  std::string reason;
  if (!ReadStoredCredential(platform.logon, platform.wideText, settings.CredentialTarget,
                            settings.UserName, settings.Password, reason)) {
    throw Exception("Cannot read credential \"" + settings.CredentialTarget + "\": " + reason);
  }
}

// Works under the given account when both an account and a password were given; a failed
// logon leaves the check under the program's own account, its reason unshown. The
// connection to the host is made either way and its result not looked at. The password is
// wiped once the logon and the connection have used it.
void UseAccount(CheckSettings& settings, Platform& platform) {
  if (!settings.CredentialTarget.empty()) UseStoredCredential(settings, platform);
  if (!settings.UserName.empty() && !settings.Password.empty()) {
    settings.LogonToken = LogonAndImpersonate(platform.logon, settings.UserName,
                                              settings.Password, settings.LogonErrorText);
    ConnectRemoteHost(platform.network, settings.HostName, settings.UserName, settings.Password,
                      false);
  }
  WipeSecret(settings.Password);
  if (!settings.UserName.empty()) {
    platform.com.SetRemoteLogin(SplitAccountName(settings.UserName).user);
  }
}

}  // namespace

CheckResources::~CheckResources() {
  helper_.reset();
  if (settings_.LogonToken != 0) {
    EndImpersonation(platform_.logon, settings_.LogonToken);
    settings_.LogonToken = 0;
  }
  platform_.com.CoUninitialize();
}

TSchedTasksHelper& CheckResources::CreateHelper() {
  helper_ = std::make_unique<TSchedTasksHelper>(platform_.com, platform_.wideText);
  return *helper_;
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
  const std::string& user = settings.UserManager;
  if (!user.empty() && platform.com.SetUserManager(user) != 0) {
    throw Exception("A user's own manager is read on Linux only; this scheduler has none");
  }
  TSchedTasksHelper& helper = resources.CreateHelper();
  if (!helper.Connect(settings.HostName)) {
    if (!user.empty() && helper.ConnectResult() == kUnknownAccount) {
      throw Exception("Unknown user \"" + user + "\" for -usermanager:");
    }
    throw ESchedTasksHelperError(helper.ErrorText());
  }
  return helper;
}

}  // namespace runwarden
