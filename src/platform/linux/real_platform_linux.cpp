// The Linux platform as one set, alive until the program ends.
#ifndef __linux__
#error "real_platform_linux.cpp belongs to the Linux build only"
#endif

#include "platform/linux/real_platform_linux.h"

namespace runwarden {

Platform& RealPlatform() {
  static LinuxComRuntime com;
  static LinuxWideText wideText;
  static LinuxLogonApi logon;
  static LinuxNetworkApi network;
  static LinuxClock clock;
  static LinuxTimeZone timeZone;
  static LinuxConsole console;
  static LinuxLocaleApi locale;
  static LinuxCaseMapping caseMapping;
  static LinuxOutputFile outputFile;
  static LinuxDeadlineTimer deadline;
  static Platform platform{com, wideText, logon, network, clock, timeZone, console, locale,
                           caseMapping, outputFile, deadline};
  return platform;
}

}  // namespace runwarden
