// The Windows platform as one set, alive until the program ends.
#include "platform/win/real_platform_win.h"

namespace runwarden {

Platform& RealPlatform() {
  static WindowsComRuntime com;
  static WindowsWideText wideText;
  static WindowsLogonApi logon;
  static WindowsNetworkApi network;
  static WindowsClock clock;
  static WindowsTimeZone timeZone;
  static WindowsConsole console;
  static WindowsLocaleApi locale;
  static WindowsCaseMapping caseMapping;
  static WindowsOutputFile outputFile;
  static WindowsDeadlineTimer deadline;
  static Platform platform{com, wideText, logon, network, clock, timeZone, console, locale,
                           caseMapping, outputFile, deadline};
  return platform;
}

}  // namespace runwarden
