// runwarden: checks that one scheduled task last ran inside an expected time frame.
#include "core/check/check_run.h"
#include "platform/platform.h"
#include "platform/program_arguments.h"

int main(int argc, char** argv) {
  using namespace runwarden;
  return RunProgram(ReadProgramCommandLine(argc, argv), RealPlatform());
}
