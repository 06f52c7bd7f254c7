#include "core/check/help_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using Lines = std::vector<std::string>;

// The banner: four box lines of 78 code page 437 characters, each line one byte a
// character, then the purpose and an empty line.
TEST(HelpText, BannerBytes) {
  testing::FakePlatform fake;
  PrintBanner(fake);
  const std::string top = "\xDA\xC4\xFE\xFE\xFE" + std::string(72, '\xC4') + "\xB7";
  const std::string bottom = "\xD4" + std::string(76, '\xCD') + "\xBC";
  EXPECT_EQ(fake.output,
            (Lines{"cp437:" + top,
                   "cp437:\xB3 Runwarden                    \xB3  Version 0.53  \xB3"
                   " Web:   runwarden.example   \xBA",
                   "cp437:\xB3 runwarden developers         \xB3   July, 2010   \xB3"
                   " EMail: support@example.com \xBA",
                   "cp437:" + bottom,
                   " Purpose: utility verifies that the scheduled task was executed as expected.",
                   ""}));
  for (std::size_t line = 0; line < 4; ++line) {
    EXPECT_EQ(fake.output[line].size(), 6 + 78u) << "box line " << line;
  }
}

TEST(HelpText, UsageBytes) {
  testing::FakePlatform fake;
  PrintUsage(fake);
  EXPECT_EQ(
      fake.output,
      (Lines{
          " Usage: runwarden.exe -task:<task_name> -timeframe:<time_interval> ",
          "  [-host:<hostname>] [-user:<username>] [-pswd:<password>] [-ignoreres]",
          "  [-remotegmt:<gmt_offset>]",
          "",
          " Parameters:",
          "  -task     : Scheduled task name",
          "  -timeframe: Specifies time interval when the task was expected to be excuted.",
          "              Interval specified in minutes. E.g. -timeframe:60 means scheduled",
          "              task had to be execued within last hour.",
          "              Also there are several predefined constants you may use:",
          "              today, yesterday, this_week, last_week, this_month and last_month",
          "  -remotegmt: Specifies time zone on remote host (gmt offset) in minutes.",
          "              E.g. -remotegmt:-300 specified Easter Time zone (GMT -05:00)",
          "                   -remotegmt:+540 specified Tokyo/Seoul time (GMT +09:00)",
          "  -host     : Specifies the name or IP address of a remote computer,",
          "              with or without backslash characters.",
          "              If omitted, utility checks the local computer",
          "  -user     : Run the utility with the permission of the specified user account",
          "  -pswd     : Specifies the password of the user account that is specified in ",
          "              the -user parameter",
          "  -ignoreres: This option suppresses additional check for last exit code.",
          "              If omitted, utility checks task exit code and returns Bad status",
          "              when exitcode<>0",
          "",
          " Examples:",
          "  runwarden -task:\"Daily Backup\" -timeframe:120",
          "  runwarden -task:check_log -timeframe:today -host:fileserver",
          "  runwarden -task:check_log -timeframe:today -host:fileserver.example.com -user:admin",
          "  runwarden -task:AV_update -timeframe:yesterday -host:192.168.10.20"
          " -user:EXAMPLE\\backup -pswd:quietmeadows -ignoreres",
          "",
      }));
}

}  // namespace
}  // namespace runwarden
