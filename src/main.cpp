// runwarden: checks that one scheduled task last ran inside an expected time frame.
#include "platform/platform.h"
#include "platform/program_arguments.h"

int main(int argc, char** argv) {
  runwarden::Platform& platform = runwarden::RealPlatform();
  (void)runwarden::ProgramArguments(argc, argv, {});
  platform.console.WriteLine("ScriptRes:Unknown:TimeFrame is required");
  return 2;
}
