// runwarden: checks that one scheduled task last ran inside an expected time frame.
#include "core/check_run.h"
#include "core/split_command_line.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  using namespace runwarden;
  Platform& platform = RealPlatform();
  // Read once, before the check, and only read afterwards.
  const RegionalSettings settings = ReadRegionalSettings(platform.locale);
  const std::vector<std::string> arguments =
      ProgramArguments(ReadProgramCommandLine(argc, argv), settings.LeadBytes);
  return RunCheck(arguments, platform, settings);
}
