#include "core/check/help_text.h"

#include <array>
#include <string>
#include <string_view>

namespace runwarden {
namespace {

// Code page 437 box drawing.
constexpr char kDownRight = '\xDA';         // light down and right
constexpr char kHorizontal = '\xC4';        // light horizontal
constexpr char kSquare = '\xFE';            // black square
constexpr char kDownDoubleLeft = '\xB7';    // down double and left single
constexpr char kVertical = '\xB3';          // light vertical
constexpr char kDoubleVertical = '\xBA';    // double vertical
constexpr char kUpRightDouble = '\xD4';     // up single and right double
constexpr char kDoubleHorizontal = '\xCD';  // double horizontal
constexpr char kDoubleUpLeft = '\xBC';      // double up and left

// text filled with blanks to width; the cells are sized for their texts.
std::string Cell(std::string_view text, std::size_t width) {
  std::string cell(text);
  cell.resize(width, ' ');
  return cell;
}

// One banner row of 78 characters: three cells of 30, 16 and 28.
std::string BannerRow(std::string_view title, std::string_view version, std::string_view contact) {
  return kVertical + Cell(title, 30) + kVertical + Cell(version, 16) + kVertical +
         Cell(contact, 28) + kDoubleVertical;
}

constexpr std::array<std::string_view, 30> kUsage{
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
    "  runwarden -task:AV_update -timeframe:yesterday -host:192.168.10.20 -user:EXAMPLE\\backup"
    " -pswd:quietmeadows -ignoreres",
    "",
};

}  // namespace

void PrintBanner(Console& console) {
  console.WriteCp437Line(kDownRight + std::string(1, kHorizontal) + std::string(3, kSquare) +
                         std::string(72, kHorizontal) + kDownDoubleLeft);
  console.WriteCp437Line(BannerRow(" Runwarden", "  Version 0.53  ", " Web:   runwarden.example"));
  console.WriteCp437Line(
      BannerRow(" runwarden developers", "   July, 2010   ", " EMail: support@example.com"));
  console.WriteCp437Line(kUpRightDouble + std::string(76, kDoubleHorizontal) + kDoubleUpLeft);
  console.WriteLine(" Purpose: utility verifies that the scheduled task was executed as expected.");
  console.WriteLine("");
}

void PrintUsage(Console& console) {
  for (std::string_view line : kUsage) console.WriteLine(line);
}

}  // namespace runwarden
