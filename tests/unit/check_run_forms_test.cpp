#include "core/check/check_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <new>

#include "fakes/fake_platform.h"
#include "unit/check_run_support.h"

namespace runwarden::check_run_test {
namespace {

using testing::FakePlatform;

// A time zone whose reading runs out of memory: an error while the options are parsed.
class ExhaustedTimeZone final : public TimeZone {
 public:
  bool GetStandardBias(std::int32_t*) override { throw std::bad_alloc(); }
  bool LocalToUnixTime(const SystemTime&, std::int64_t*) override { throw std::bad_alloc(); }
};

// --- -format: the same check, reported in the plugins' form or in the default one ---

TEST(CheckRun, ReportForms) {
  const Arguments nagios{"-task:Backup", "-timeframe:today", "-format:nagios"};
  const auto with = [](Arguments arguments, const Arguments& extra) {
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  const std::string two = "12/7/26 2:00:00 am";
  const std::string formatMessage =
      "Invalid format specified. Format should be scriptres, nagios, prometheus or json";
  const struct {
    Arguments arguments;
    Scenario setup;
    int exitStatus;
    std::string line;
    const char* reason;
  } cases[] = {
      {nagios, nullptr, 0, "TASK OK - Backup: " + two + " | age=36000s result=0",
       "a keyword window: no threshold"},
      {{"-task:Backup", "-timeframe:600", "-format:nagios"}, nullptr, 0,
       "TASK OK - Backup: " + two + " | age=36000s;;36000 result=0",
       "at the start of a minute window: the age is its length, the critical threshold"},
      {{"-task:Backup", "-timeframe:600", "-format:nagios"},
       [](FakePlatform& f) { f.clockReadings = {{2026, 12, 0, 7, 12, 0, 0, 400}}; }, 2,
       "TASK CRITICAL - Backup: " + two + " | age=36001s;;36000 result=0",
       "0.4 s past the window: the age rounds up, above the threshold"},
      {nagios, [](FakePlatform& f) { f.lastRunTime = {2026, 12, 0, 7, 12, 0, 1, 500}; }, 2,
       "TASK CRITICAL - Backup: 12/7/26 12:00:01 pm | age=-1s result=0",
       "a run after now: a negative age"},
      {with(nagios, {"-ignoreres"}), [](FakePlatform& f) { f.exitCode = 3; }, 0,
       "TASK OK - Backup: " + two + " | age=36000s result=3", "an ignored result is still shown"},
      {nagios, [](FakePlatform& f) { f.lastRunTime = SystemTime{}; }, 3,
       "TASK UNKNOWN - Backup: Invalid argument to date encode", "never ran: no numbers"},
      {{"-timeframe:today", "-format:NAGIOS"}, nullptr, 3,
       "TASK UNKNOWN - Scheduled Task name is required", "bad options: no task; the value lower-cased"},
      {with(nagios, {"-format:scriptres"}), nullptr, 0, Ok(two), "the last -format: wins"},
      {with(nagios, {"-format:"}), nullptr, 0, Ok(two), "an empty value: the default form"},
      {with(nagios, {"-format:xml"}), nullptr, 2, Unknown(formatMessage),
       "an unknown form: Unknown in the default form"},
      {{"-format:plugin", "-remotegmt:999"}, nullptr, 2, Unknown(formatMessage),
       "the format's message stands over every other"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    EXPECT_EQ(run.fake.output, Calls{c.line}) << c.reason;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "CoInitialize"), CountOf(run.fake.calls, "CoUninitialize"))
        << c.reason;
  }
}

// With the help text the result line is the default one, whatever -format: said.
TEST(CheckRun, HelpKeepsTheDefaultForm) {
  const CheckRun afterSwitch({"/?", "-task:Backup", "-timeframe:today", "-format:nagios"});
  EXPECT_TRUE(afterSwitch.HelpShown());
  EXPECT_EQ(afterSwitch.ResultLine(), Unknown("TimeFrame is required"));
  EXPECT_EQ(afterSwitch.exitStatus, 2);

  // An error while parsing, after -format: was read.
  FakePlatform fake;
  ExhaustedTimeZone timeZone;
  Platform platform{fake, fake, fake, fake, fake, timeZone, fake, fake, fake, fake, fake};
  const int status = RunCheck({"-task:Backup", "-timeframe:today", "-format:nagios", "-remotegmt:0"},
                              platform, RegionalSettings{}, {});
  EXPECT_EQ(status, 2);
  EXPECT_GT(fake.output.size(), 1U);
  EXPECT_EQ(fake.output.back(), Unknown(std::bad_alloc().what()));
}

// -version prints the version line and does nothing else: no validation, no scheduler. The
// help text wins when asked for first, or when the command line could not be read.
TEST(CheckRun, VersionAnswersAlone) {
  const struct {
    Arguments arguments;
    bool version;
    const char* reason;
  } cases[] = {
      {{"-version"}, true, "alone"},
      {{"-task:a", "-timeframe:today", "-version"}, true, "a complete check is not run"},
      {{"-format:xml", "-remotegmt:781", "-version"}, true, "nothing is validated"},
      {{"-version", "-h"}, true, "a help switch that is not first asks for nothing"},
      {{"/?", "-version"}, false, "a help switch first wins"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments);
    if (c.version) {
      EXPECT_EQ(run.exitStatus, 0) << c.reason;
      EXPECT_EQ(run.fake.output, Calls{"runwarden " RUNWARDEN_VERSION}) << c.reason;
      EXPECT_EQ(run.fake.calls, Calls{}) << c.reason;
    } else {
      EXPECT_TRUE(run.HelpShown()) << c.reason;
      EXPECT_EQ(run.ResultLine(), Unknown("TimeFrame is required")) << c.reason;
    }
  }

  FakePlatform fake;
  ExhaustedTimeZone timeZone;
  Platform platform{fake, fake, fake, fake, fake, timeZone, fake, fake, fake, fake, fake};
  const int status = RunCheck({"-task:a", "-timeframe:today", "-remotegmt:0", "-version"},
                              platform, RegionalSettings{}, {});
  EXPECT_EQ(status, 2) << "a command line that could not be read";
  EXPECT_GT(fake.output.size(), 1U);
  EXPECT_EQ(fake.output.back(), Unknown(std::bad_alloc().what()));
}

// A clock that runs out of memory: errors that are no Exception end the check as Unknown
// with their own text, after the clean-up.
class ExhaustedClock final : public Clock {
 public:
  SystemTime GetLocalTime() override { throw std::bad_alloc(); }
  std::int64_t GetUnixTime() override { throw std::bad_alloc(); }
};

TEST(CheckRun, AnyOtherErrorIsUnknownAfterTheCleanUp) {
  FakePlatform fake;
  ExhaustedClock clock;
  Platform platform{fake, fake, fake, fake, clock, fake, fake, fake, fake, fake, fake};
  const int status =
      RunCheck({"-task:Backup", "-timeframe:today"}, platform, RegionalSettings{}, {});
  EXPECT_EQ(status, static_cast<int>(CheckStatus::Unknown));
  EXPECT_EQ(fake.output, Calls{Unknown(std::bad_alloc().what())});
  EXPECT_EQ(fake.calls.back(), "CoUninitialize");
  EXPECT_EQ(fake.liveObjects, 0);
}

// The command line is text in the system's code page: it is split and its keys removed by
// that code page's lead bytes, while the date text follows the locale's. Both ways round,
// with a double-byte code page (lead bytes 0x81-0x9F, 0xE0-0xFC) on one side only.
TEST(RunProgram, ArgumentsFollowTheSystemsCodePageAndDatesTheLocales) {
  CodePageInfo doubleByte{2, {0x81, 0x9F, 0xE0, 0xFC}};
  const CodePageInfo singleByte{1, {}};
  const struct {
    bool doubleByteSystem;  // else the locale's code page is the double-byte one
    std::string commandLine;
    std::string line;
    std::string opened;  // the name handed to Activate, or empty when none is
    const char* reason;
  } cases[] = {
      {false, "runwarden.exe -task:rw_b\xFC -timeframe:today", Ok("\x83m 12/7/26 2:00:00 am"),
       "rw_b\xFC", "0xFC ends a name in a single-byte system code page"},
      {true, "runwarden.exe -task:rw_b\xFC -timeframe:today", Unknown("TimeFrame is required"),
       "", "a lead byte of the system's code page takes the blank after it"},
      {false, "runwarden.exe -task:caf\x9E-TASK:x -timeframe:today",
       Ok("\x83m 12/7/26 2:00:00 am"), "caf\x9Ex", "every key text is removed"},
      {true, "runwarden.exe -task:caf\x9E-TASK:x -timeframe:today",
       Ok("\x83" "12 12/7/26 2:00:00 am"), "caf\x9E-TASK:x",
       "a key text after a lead byte is no key text"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.clockReadings = {kNow};
    fake.lastRunTime = kTwoToday;
    fake.upperCase = {{0x9E, 0x8E}};  // as CharUpperBuffA in code page 1252
    fake.codePages[kAnsiCodePage] = c.doubleByteSystem ? doubleByte : singleByte;
    fake.codePages[932] = c.doubleByteSystem ? singleByte : doubleByte;
    fake.localeInfo[kLocaleIDefaultAnsiCodePage] = "932";
    fake.localeInfo[kLocaleSShortDate] = "\x83m m/d/yy";  // the m after 0x83 is a trail byte
    const int status = RunProgram({true, c.commandLine, {}}, fake.platform());
    ASSERT_EQ(fake.output.size(), 1u) << c.reason;
    EXPECT_EQ(fake.output.back(), c.line) << c.reason;
    EXPECT_EQ(status, static_cast<int>(c.opened.empty() ? CheckStatus::Unknown : CheckStatus::Ok))
        << c.reason;
    EXPECT_EQ(CountOf(fake.calls, "Activate(" + c.opened + ", IID_ITask)"), c.opened.empty() ? 0 : 1)
        << c.reason;
  }
}


// --- the machine-read forms, the output file, and UTF-8 from the system's code page ---

// Unix times are read for the forms that show them, and only there, so that the calls of
// the other forms stay as they were; the last run goes through the zone's rules.
TEST(CheckRun, UnixTimesOnlyForTheFormsThatShowThem) {
  const struct {
    std::string format;
    long reads;
    const char* reason;
  } cases[] = {
      {"scriptres", 0, "the default form"},
      {"nagios", 0, "the plugins' form"},
      {"prometheus", 1, "the exposition"},
      {"json", 1, "the document"},
  };
  for (const auto& c : cases) {
    const CheckRun run({"-task:Backup", "-timeframe:today", "-format:" + c.format},
                       [](FakePlatform& f) { f.standardBias = -60; });
    EXPECT_EQ(CountOf(run.fake.calls, "TzSpecificLocalTimeToSystemTime(2026-12-7 2:0:0)"), c.reads)
        << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "GetSystemTimeAsFileTime"), c.reads) << c.reason;
  }
  const CheckRun json({"-task:Backup", "-timeframe:today", "-format:json"},
                      [](FakePlatform& f) { f.standardBias = -60; });
  EXPECT_NE(json.ResultLine().find("\"checked_at\":1796644800,"), std::string::npos);
  EXPECT_NE(json.ResultLine().find("\"last_run\":1796605200,"), std::string::npos)
      << "2:00 local an hour east of UTC";
  EXPECT_EQ(json.fake.written.back(), '\n');
  EXPECT_EQ(json.fake.written.find('\r'), std::string::npos) << "LF alone, also on Windows";

  const CheckRun unconvertible({"-task:Backup", "-timeframe:today", "-format:json"},
                               [](FakePlatform& f) { f.localTimesConvert = false; });
  EXPECT_EQ(unconvertible.ResultLine().find("\"last_run\":"), std::string::npos)
      << "a time the zone cannot convert is left out";
  EXPECT_EQ(unconvertible.exitStatus, 0);
}

TEST(CheckRun, OutputFile) {
  const Arguments check{"-task:Backup", "-timeframe:today"};
  const auto with = [&](const Arguments& extra) {
    Arguments arguments = check;
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
  };
  const auto fails = [](FakePlatform& f) {
    f.replaceFileResult = 3;
    f.systemMessage = "The system cannot find the path specified.\r\n";
  };
  const std::string unwritable =
      "Cannot write output file \"C:\\no\\a.prom\": The system cannot find the path specified.";
  const std::string invalid = "Invalid output file specified. The path should name a file";
  const struct {
    Arguments arguments;
    Scenario setup;
    std::map<std::string, std::string> files;
    std::string console;
    int exitStatus;
    const char* reason;
  } cases[] = {
      {with({"-outfile:C:\\out\\a.txt"}), nullptr,
       {{"C:\\out\\a.txt", Ok("12/7/26 2:00:00 am") + "\r\n"}}, "", 0,
       "the default form into the file, with the platform's line end"},
      {with({"-outfile:a.json", "-format:json"}), nullptr, {{"a.json", "JSON"}}, "", 0,
       "the document into the file"},
      {with({"-outfile:", "-outfile:"}), nullptr, {}, Ok("12/7/26 2:00:00 am") + "\r\n", 0,
       "an empty value: standard output"},
      {{"-task:Backup", "-outfile:a.txt"}, nullptr, {{"a.txt", Unknown("TimeFrame is required") + "\r\n"}},
       "", 2, "an answer of the options goes where the options say"},
      {with({"-outfile:C:\\no\\a.prom"}), fails, {}, Unknown(unwritable) + "\r\n", 2,
       "a file that cannot be written: Unknown on standard output, with the system's reason"},
      {with({"-outfile:C:\\no\\a.prom", "-format:nagios"}), fails, {},
       "TASK UNKNOWN - Backup: " + unwritable + "\r\n", 3, "in the form asked for"},
      {with({"-outfile:C:\\out\\"}), nullptr, {}, Unknown(invalid) + "\r\n", 2,
       "a folder: no file is written"},
      {with({"-outfile:/tmp/", "-format:xml"}), nullptr, {},
       Unknown("Invalid format specified. Format should be scriptres, nagios, prometheus or json") +
           "\r\n",
       2, "an unknown form stands over the path, on standard output"},
  };
  for (const auto& c : cases) {
    const CheckRun run(c.arguments, c.setup);
    std::map<std::string, std::string> files = run.fake.files;
    for (auto& [path, bytes] : files) {
      if (bytes.rfind("{\"status\":\"ok\"", 0) == 0 && bytes.ends_with("}\n")) bytes = "JSON";
    }
    EXPECT_EQ(files, c.files) << c.reason;
    EXPECT_EQ(run.fake.written, c.console) << c.reason;
    EXPECT_EQ(run.exitStatus, c.exitStatus) << c.reason;
    EXPECT_EQ(CountOf(run.fake.calls, "ReplaceFile("), c.console.empty() || c.setup ? 1 : 0)
        << c.reason;
  }
}

// A backslash that is the trail byte of a double-byte character ends no folder.
TEST(RunProgram, OutputFileNamesAreReadByTheSystemsLeadBytes) {
  FakePlatform fake;
  fake.clockReadings = {kNow};
  fake.lastRunTime = kTwoToday;
  fake.codePages[kAnsiCodePage] = {2, {0x81, 0x9F, 0xE0, 0xFC}};
  RunProgram({true, "runwarden.exe -task:Backup -timeframe:today -outfile:C:\\\x95\\", {}},
             fake.platform());
  EXPECT_EQ(fake.files.count("C:\\\x95\\"), 1U);
}

// The plugins' form in UTF-8, converted from the system's code page: a trail byte 0x7C of
// a double-byte character is no "|". The default form keeps the code page's bytes.
TEST(CheckRun, PluginFormInUtf8FromTheSystemsCodePage) {
  const std::string port = "\x83\x7C\x81\x5B\x83\x67X";  // ポートX in code page 932
  const std::string portUtf8 = "\xE3\x83\x9D\xE3\x83\xBC\xE3\x83\x88X";
  const auto system = [](std::uint32_t codePage) {
    return [codePage](FakePlatform& f) {
      f.ansiCodePage = codePage;
      f.doubleByteCharacters = {{"\x83\x7C", u'\u30DD'}, {"\x81\x5B", u'\u30FC'},
                                {"\x83\x67", u'\u30C8'}};
      f.activateResult = static_cast<HResult>(0x80070002);
      f.activateStoresObject = false;
    };
  };
  const struct {
    std::string task, format;
    std::uint32_t codePage;
    std::string line;
    const char* reason;
  } cases[] = {
      {port, "nagios", 932,
       "TASK CRITICAL - " + portUtf8 + ": Cannot find task \"" + portUtf8 + "\"; Error Code: 80070002",
       "the trail byte 0x7C is part of its character"},
      {port, "scriptres", 932, Bad("Cannot find task \"" + port + "\"; Error Code: 80070002"),
       "the default form stays in the code page"},
      {"r\xE5|x", "nagios", 1252,
       "TASK CRITICAL - r\xC3\xA5!x: Cannot find task \"r\xC3\xA5!x\"; Error Code: 80070002",
       "a Swedish letter of code page 1252; a real | still becomes !"},
      {"r\xE5", "nagios", kUtf8CodePage,
       "TASK CRITICAL - r\xE5: Cannot find task \"r\xE5\"; Error Code: 80070002",
       "a system whose texts are UTF-8 (Linux): the bytes as they are"},
  };
  for (const auto& c : cases) {
    const CheckRun run({"-task:" + c.task, "-timeframe:today", "-format:" + c.format},
                       system(c.codePage));
    EXPECT_EQ(run.fake.output, Calls{c.line}) << c.reason;
    const bool converted = c.format == "nagios" && c.codePage != kUtf8CodePage;
    EXPECT_EQ(CountOf(run.fake.calls, "WideCharToMultiByte(65001, 0, ") > 0, converted) << c.reason;
  }
}

// On a system whose code page is not UTF-8 a pattern's task names go from the scheduler's
// UTF-16 straight to UTF-8, while the check's own texts are converted from the code page.
TEST(CheckRun, PatternNamesReachTheMachineFormsFromUtf16) {
  const CheckRun run({"-task:b*", "-timeframe:today", "-format:prometheus", "-host:h\xE9"},
                     [](FakePlatform& f) {
                       f.ansiCodePage = 1252;
                       f.listedTasks = {"b\xFC"};
                     });
  const std::string labels = "{task=\"b\xC3\xBC\",host=\"h\xC3\xA9\",timeframe=\"today\"}";
  EXPECT_NE(run.fake.written.find("runwarden_task_last_exit_code" + labels + " 0\n"),
            std::string::npos)
      << run.fake.written;
  EXPECT_EQ(run.exitStatus, 0);
}

}  // namespace
}  // namespace runwarden::check_run_test
