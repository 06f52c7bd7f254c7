// What happens when the output itself cannot be delivered: standard output that refuses
// the bytes, and, under a time limit, a write that does not end.
#include <gtest/gtest.h>

#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

const Scenario kFullDisk = [](FakePlatform& f) {
  f.writeResult = 112;
  f.systemMessage = "There is not enough space on the disk.\r\n";
};

// Standard output that cannot be written: the form's Unknown status and one line on
// standard error, whatever the check found and wherever the result was to go first.
TEST(OutputDelivery, StandardOutputThatCannotBeWritten) {
  const std::string full = "Cannot write standard output: There is not enough space on the disk.";
  const struct {
    Arguments arguments;
    Scenario setup;
    int exitStatus;
    const char* reason;
  } cases[] = {
      {{"-task:Backup", "-timeframe:today"}, kFullDisk, 2, "an Ok check, the default form"},
      {{"-task:Backup", "-timeframe:today", "-format:nagios"}, kFullDisk, 3, "the plugins' form"},
      {{"-task:Backup", "-timeframe:today", "-format:prometheus"}, kFullDisk, 2, "the exposition"},
      {{"-task:Backup", "-timeframe:today", "-format:json"}, kFullDisk, 2, "the document"},
      {{"-task:Backup", "-timeframe:today", "-format:nagios", "-timeout:5"}, kFullDisk, 3,
       "under a time limit"},
      {{"-version"}, kFullDisk, 2, "the version line"},
      {{"-task:Backup", "-timeframe:today", "-format:nagios", "-outfile:C:\\no\\a"},
       [](FakePlatform& f) {
         kFullDisk(f);
         f.replaceFileResult = 3;
       },
       3, "neither the file nor the Unknown result on standard output"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.reason;
    EXPECT_EQ(run.fake.written, "") << c.reason;
    EXPECT_EQ(run.fake.errorLines, Calls{full}) << c.reason;
  }
  const CheckRun written({"-task:Backup", "-timeframe:today"});
  EXPECT_EQ(written.exitStatus, 0);
  EXPECT_TRUE(written.fake.errorLines.empty()) << "nothing on standard error when it is written";
}

// Under a time limit a write that does not end is given up: the process ends with the form's
// Unknown status, whatever the check had found and wherever it wrote.
TEST(OutputDelivery, WriteThatDoesNotEndUnderATimeLimit) {
  const auto hangs = [](FakePlatform& f) { f.writeHangs = true; };
  const struct {
    Arguments extra;
    int exitStatus;
  } forms[] = {{{}, 2}, {{"-format:nagios"}, 3}, {{"-format:json", "-outfile:a.json"}, 2}};
  for (const auto& form : forms) {
    Arguments arguments{"-task:Backup", "-timeframe:today", "-timeout:5"};
    arguments.insert(arguments.end(), form.extra.begin(), form.extra.end());
    const CheckRun run(arguments, hangs);
    EXPECT_EQ(run.exitStatus, form.exitStatus) << arguments.back();
    EXPECT_EQ(run.fake.calls.back(), "EndProcess(" + std::to_string(form.exitStatus) + ")")
        << arguments.back();
  }
  const CheckRun unlimited({"-task:Backup", "-timeframe:today"}, hangs);
  EXPECT_EQ(unlimited.exitStatus, 0) << "without a limit the write is waited for";
}

}  // namespace
}  // namespace runwarden::check_run_test
