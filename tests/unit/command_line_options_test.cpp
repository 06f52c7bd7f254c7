#include "core/check/command_line_options.h"

#include <gtest/gtest.h>

#include <new>
#include <ostream>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;

const char* const kGmtMessage = "Invalid gmt offset specified. Number should be in range -760..+780";

CheckSettings Parse(const std::vector<std::string>& arguments, TimeZone& timeZone,
                    const SystemLeadBytes& leadBytes = {}) {
  CheckSettings settings;
  FakePlatform caseMapping;
  ParseCommandLine(arguments, timeZone, caseMapping, leadBytes, settings);
  return settings;
}

// The option fields of CheckSettings, in a form a table row can give in full.
struct Options {
  std::string task, host, user, pswd, frame;
  bool ignore = false;
  friend bool operator==(const Options&, const Options&) = default;
};

std::ostream& operator<<(std::ostream& out, const Options& o) {
  return out << "task=[" << o.task << "] host=[" << o.host << "] user=[" << o.user << "] pswd=["
             << o.pswd << "] frame=[" << o.frame << "] ignore=" << o.ignore;
}

Options OptionsOf(const CheckSettings& s) {
  return {s.TaskName, s.HostName, s.UserName, s.Password, s.TimeFrameText, s.IgnoreResult};
}

TEST(ParseCommandLine, OptionsAndTheirValues) {
  const struct {
    std::vector<std::string> arguments;
    Options expected;
    const char* reason;
  } cases[] = {
      {{"-task:Daily Backup", "-timeframe:120"}, {"Daily Backup", "", "", "", "120", false},
       "plain options"},
      {{"-host:srv", "-user:EXAMPLE\\backup", "-pswd:Secret", "-ignoreres"},
       {"", "srv", "EXAMPLE\\backup", "Secret", "", true}, "values keep their case"},
      {{"-timeframe:Today"}, {"", "", "", "", "today", false}, "the time frame is lower-cased"},
      {{"-timeframe:\xC4X"}, {"", "", "", "", "\xC4x", false}, "only ASCII letters are lower-cased"},
      {{"-task:a", "-task:b"}, {"b", "", "", "", "", false}, "a later argument wins"},
      {{"-task:a", "-task:"}, {"", "", "", "", "", false}, "an empty value empties the field"},
      {{"-task:-TASK:abc"}, {"abc", "", "", "", "", false},
       "the removal ignores case and takes every occurrence"},
      {{"-task:a-host:b"}, {"", "-task:ab", "", "", "", false}, "-host: is tested before -task:"},
      {{"-pswd:a-task:b"}, {"-pswd:ab", "", "", "", "", false}, "-task: is tested before -pswd:"},
      {{"-timeframe:x-user:y"}, {"", "", "-timeframe:xy", "", "", false},
       "-user: is tested before -timeframe:"},
      {{"-ignoreresult"}, {"", "", "", "", "", true}, "the switch is found anywhere"},
      {{"-x-ignoreres"}, {"", "", "", "", "", true}, "the switch is found after other text"},
      {{"-ignoreres-task:a"}, {"-ignoreresa", "", "", "", "", false}, "-task: is tested first"},
      {{"-HOST:x", "-Task:y"}, {}, "keys are found with case respected"},
      {{"task:x", "/task:y", " -task:z"}, {}, "an argument must begin with a minus"},
      {{"-unknown:x", "-"}, {}, "arguments without a key are skipped"},
      {{"-task:a", "-h"}, {"a", "", "", "", "", false}, "-h later than first is skipped"},
      {{"/H", "-task:a"}, {"a", "", "", "", "", false}, "/H is no help switch and is skipped"},
      {{"-host:\\\\srv"}, {"", "\\\\srv", "", "", "", false}, "backslashes are kept here"},
  };
  FakePlatform fake;
  for (const auto& c : cases) {
    const CheckSettings parsed = Parse(c.arguments, fake);
    EXPECT_EQ(OptionsOf(parsed), c.expected) << c.reason;
    EXPECT_TRUE(parsed.Status == CheckStatus::Ok && parsed.MessageText.empty() &&
                !parsed.ShowHelp && parsed.TimeShift == 0.0 && parsed.RemoteGmtOffset == 0)
        << c.reason;
  }
  EXPECT_TRUE(fake.calls.empty()) << "no argument asked for the time zone";
}

TEST(ParseCommandLine, FormatKeyComesAfterEveryOther) {
  const struct {
    std::vector<std::string> arguments;
    std::string format, task;
    const char* reason;
  } cases[] = {
      {{"-format:Nagios"}, "nagios", "", "the value is lower-cased"},
      {{"-format:nagios", "-format:scriptres"}, "scriptres", "", "a later argument wins"},
      {{"-format:nagios", "-format:"}, "", "", "an empty value empties the field"},
      {{"-format:-FORMAT:nagios"}, "nagios", "", "every occurrence removed, case ignored"},
      {{"-task:a-format:nagios"}, "", "a-format:nagios", "an existing key decides first"},
      {{"-FORMAT:nagios"}, "", "", "another case is no key"},
  };
  FakePlatform fake;
  for (const auto& c : cases) {
    const CheckSettings parsed = Parse(c.arguments, fake);
    EXPECT_EQ(parsed.FormatText, c.format) << c.reason;
    EXPECT_EQ(parsed.TaskName, c.task) << c.reason;
    EXPECT_EQ(parsed.Status, CheckStatus::Ok) << c.reason;
  }
}

// The keys after -format:, each tested after every key before it.
TEST(ParseCommandLine, LaterKeysInTheirOrder) {
  const auto fields = [](const CheckSettings& s) {
    return s.FormatText + "|" + s.OkCodesText + "|" + s.MaxRunText + "|" + s.WarnFrameText + "|" +
           (s.CheckState ? "state" : "") + "|" + s.OutFile + "|" + s.TimeoutText + "|" +
           (s.ShowVersion ? "version" : "");
  };
  const struct {
    std::vector<std::string> arguments;
    std::string fields;
    const char* reason;
  } cases[] = {
      {{"-okcodes:0-7,3010", "-maxrun:90", "-warnframe:Today", "-checkstate", "-outfile:/t/a.prom",
        "-timeout:25", "-version"},
       "|0-7,3010|90|today|state|/t/a.prom|25|version",
       "each key's value; the warn frame lower-cased"},
      {{"-format:a-okcodes:1"}, "a-okcodes:1|||||||", "-format: before -okcodes:"},
      {{"-okcodes:1-maxrun:2"}, "|1-maxrun:2||||||", "-okcodes: before -maxrun:"},
      {{"-maxrun:1-warnframe:2"}, "||1-warnframe:2|||||", "-maxrun: before -warnframe:"},
      {{"-warnframe:a-checkstate"}, "|||a-checkstate||||", "-warnframe: before -checkstate"},
      {{"-checkstate-outfile:x"}, "||||state|||", "-checkstate before -outfile:"},
      {{"-outfile:a-timeout:1"}, "|||||a-timeout:1||", "-outfile: before -timeout:"},
      {{"-timeout:1-version"}, "||||||1-version|", "-timeout: before -version"},
      {{"-task:-version"}, "|||||||", "an existing key decides first"},
      {{"-OUTFILE:x", "-Version"}, "|||||||", "another case is no key"},
  };
  FakePlatform fake;
  for (const auto& c : cases) {
    EXPECT_EQ(fields(Parse(c.arguments, fake)), c.fields) << c.reason;
  }
}

// -cred: and then -grace: come after every other key: an argument holding another key
// keeps its meaning.
TEST(ParseCommandLine, CredentialKeyAfterEveryOther) {
  const struct {
    std::string argument;
    std::string target, password;
    bool version;
    std::string grace = "";
  } cases[] = {
      {"-cred:Backup01", "Backup01", "", false},
      {"-pswd:Pa-cred:x", "", "Pa-cred:x", false},
      {"-version-cred:x", "", "", true},
      {"-CRED:x", "", "", false},
      {"-grace:10", "", "", false, "10"},
      {"-cred:a-grace:3", "a-grace:3", "", false},
      {"-GRACE:3", "", "", false},
  };
  FakePlatform fake;
  for (const auto& c : cases) {
    const CheckSettings parsed = Parse({c.argument}, fake);
    EXPECT_EQ(parsed.GraceText, c.grace) << c.argument;
    EXPECT_EQ(parsed.CredentialTarget, c.target) << c.argument;
    EXPECT_EQ(parsed.Password, c.password) << c.argument;
    EXPECT_EQ(parsed.ShowVersion, c.version) << c.argument;
  }
}

TEST(ParseCommandLine, HelpOnlyAsTheFirstArgumentAndThenNothingElseIsRead) {
  const struct {
    std::vector<std::string> arguments;
    bool help;
  } cases[] = {
      {{}, true},
      {{"/h"}, true},
      {{"/?"}, true},
      {{"-h"}, true},
      {{"-?", "-task:a", "-timeframe:today"}, true},
      {{"-H"}, false},
      {{"/H"}, false},
      {{"-h "}, false},
      {{"-help"}, false},
      {{"-task:a", "/?"}, false},
  };
  FakePlatform fake;
  for (const auto& c : cases) {
    const CheckSettings parsed = Parse(c.arguments, fake);
    const std::string first = c.arguments.empty() ? "(none)" : c.arguments.front();
    EXPECT_EQ(parsed.ShowHelp, c.help) << first;
    if (c.help) {
      EXPECT_TRUE(parsed.TaskName.empty() && parsed.TimeFrameText.empty()) << first;
    }
    EXPECT_EQ(parsed.Status, CheckStatus::Ok) << first;
  }
}

TEST(ParseCommandLine, RemoteGmtOffsetLimitsAndShift) {
  const struct {
    std::string argument;
    std::int32_t bias;
    std::int32_t offset;
    bool accepted;
    double shift;
    const char* reason;
  } cases[] = {
      {"-remotegmt:-300", -60, -300, true, 0.25, "an hour east of GMT, remote at -5 h"},
      {"-remotegmt:+540", 0, 540, true, -540.0 * 60 / 86400, "a leading plus"},
      {"-remotegmt:780", 0, 780, true, -780.0 * 60 / 86400, "upper limit included"},
      {"-remotegmt:-780", 0, -780, true, 780.0 * 60 / 86400, "lower limit included"},
      {"-remotegmt:-770", 0, -770, true, 770.0 * 60 / 86400, "accepted though the text says -760"},
      {"-remotegmt:0", 300, 0, true, -300.0 * 60 / 86400, "local bias alone"},
      {"-remotegmt:781", 0, 781, false, 0, "one past the upper limit"},
      {"-remotegmt:-781", 0, -781, false, 0, "one past the lower limit"},
      {"-remotegmt", 0, 9999, false, 0, "no colon, no value"},
      {"-remotegmt:", 0, 9999, false, 0, "no value"},
      {"-remotegmt:abc", 0, 9999, false, 0, "not a number"},
      {"-remotegmt:60 ", 0, 9999, false, 0, "a trailing blank is not a number"},
      {"-REMOTEGMT:60", 0, 0, true, 0, "another case is no key"},
      {"-remotegmt:x3c", -60, 60, true, 0, "hexadecimal form"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.standardBias = c.bias;
    const CheckSettings parsed = Parse({c.argument}, fake);
    EXPECT_EQ(parsed.RemoteGmtOffset, c.offset) << c.reason;
    EXPECT_DOUBLE_EQ(parsed.TimeShift, c.shift) << c.reason;
    EXPECT_EQ(parsed.Status, c.accepted ? CheckStatus::Ok : CheckStatus::Unknown) << c.reason;
    EXPECT_EQ(parsed.MessageText, c.accepted ? "" : kGmtMessage) << c.reason;
    EXPECT_FALSE(parsed.ShowHelp) << c.reason;
  }
}

TEST(ParseCommandLine, BadOffsetKeepsTheEarlierShiftAndParsingGoesOn) {
  FakePlatform fake;
  fake.standardBias = -60;
  const CheckSettings parsed = Parse({"-remotegmt:-300", "-remotegmt:900", "-task:a"}, fake);
  EXPECT_DOUBLE_EQ(parsed.TimeShift, 0.25);
  EXPECT_EQ(parsed.RemoteGmtOffset, 900);
  EXPECT_EQ(parsed.Status, CheckStatus::Unknown);
  EXPECT_EQ(parsed.MessageText, kGmtMessage);
  EXPECT_EQ(parsed.TaskName, "a");
  EXPECT_EQ(fake.calls, std::vector<std::string>{"GetTimeZoneInformation"});
}

TEST(ParseCommandLine, UnreadableTimeZone) {
  FakePlatform fake;
  fake.timeZoneReadable = false;
  const CheckSettings parsed = Parse({"-remotegmt:60", "-task:a"}, fake);
  EXPECT_EQ(parsed.Status, CheckStatus::Unknown);
  EXPECT_EQ(parsed.MessageText, "Cannot retrieve local time zone information");
  EXPECT_EQ(parsed.TimeShift, 0.0);
  EXPECT_EQ(parsed.TaskName, "a");
  EXPECT_FALSE(parsed.ShowHelp);
}

// A time zone whose reading runs out of memory: the error stops the parsing.
class ExhaustedTimeZone final : public TimeZone {
 public:
  bool GetStandardBias(std::int32_t*) override { throw std::bad_alloc(); }
  bool LocalToUnixTime(const SystemTime&, std::int64_t*) override { throw std::bad_alloc(); }
};

TEST(ParseCommandLine, AnErrorStopsParsingAndAsksForHelp) {
  ExhaustedTimeZone timeZone;
  const CheckSettings parsed =
      Parse({"-task:a", "-remotegmt:0", "-host:never", "-timeframe:today"}, timeZone);
  EXPECT_EQ(parsed.Status, CheckStatus::Unknown);
  EXPECT_EQ(parsed.MessageText, std::bad_alloc().what());
  EXPECT_TRUE(parsed.ShowHelp);
  EXPECT_EQ(parsed.TaskName, "a");
  EXPECT_TRUE(parsed.HostName.empty());
  EXPECT_TRUE(parsed.TimeFrameText.empty());
}

TEST(ParseCommandLine, RemovalNeverStartsOnATrailByte) {
  // 0x81 is a lead byte here, so the minus after it is a trail byte and the "-task:" it
  // seems to begin is no key text.
  SystemLeadBytes leadBytes;
  leadBytes.bytes.set(0x81);
  FakePlatform fake;
  const CheckSettings parsed = Parse({"-task:a\x81-task:b"}, fake, leadBytes);
  EXPECT_EQ(parsed.TaskName, "a\x81-task:b");
}

}  // namespace
}  // namespace runwarden
