#pragma once
// The options and the run state of one check: created empty before the command line is
// read, owned by the check run until the program ends.

#include <cstdint>
#include <string>

#include "core/calendar/date_time.h"
#include "core/report/check_status.h"
#include "platform/logon_api.h"

namespace runwarden {

struct CheckSettings {
  std::string TaskName;
  std::string HostName;  // empty: the local computer; led by two backslashes once normalised
  std::string UserName;  // DOMAIN\user or user
  std::string Password;
  std::string LogonErrorText;  // why the logon failed; shown in no result line
  std::string MessageText;     // the text after "ScriptRes:Bad:" or "ScriptRes:Unknown:"
  bool ShowHelp = false;
  CheckStatus Status = CheckStatus::Ok;
  TokenHandle LogonToken = 0;
  std::int32_t RemoteGmtOffset = 0;  // minutes
  DateTime TimeShift = 0.0;          // days added to the task's last run time
  bool IgnoreResult = false;
  std::int32_t TimeFrameMinutes = 0;
  std::string TimeFrameText;  // lower case
  std::string FormatText;     // lower case; empty: the default form
  // The keys after -format:, each as written (the warn frame lower-cased); read and
  // validated where the check uses them.
  std::string OkCodesText;    // -okcodes: exit codes that count as success besides 0
  std::string MaxRunText;     // -maxrun: minutes a run may last
  std::string WarnFrameText;  // -warnframe: a tighter time frame for the warning level
  bool CheckState = false;    // -checkstate: Bad too when the task cannot run again
  std::string OutFile;        // -outfile: the file that receives the output
  std::string TimeoutText;    // -timeout: seconds the whole check may take
  std::int32_t TimeoutSeconds = 0;  // TimeoutText once validated; 0: no limit
  bool ShowVersion = false;   // -version: print the version, nothing else
  std::string CredentialTarget;  // -cred: the stored credential that gives account and password
  std::string LastLogText;       // -lastlog: lines of a Bad task's last run to show
  std::string UserManager;       // -usermanager: the user whose own manager is read
};

}  // namespace runwarden
