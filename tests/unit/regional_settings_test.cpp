#include "core/calendar/regional_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;

TEST(ReadRegionalSettings, EveryDefaultWhenTheLocaleGivesNothing) {
  FakePlatform fake;
  const RegionalSettings settings = ReadRegionalSettings(fake);
  EXPECT_EQ(settings.ShortDatePattern, "m/d/yy");
  EXPECT_EQ(settings.LongDatePattern, "mmmm d, yyyy");
  EXPECT_EQ(settings.LongTimePattern, "h:mm:ss AMPM");
  EXPECT_EQ(settings.ShortTimePattern, "h:mm AMPM");
  EXPECT_EQ(settings.DateDelimiter, '/');
  EXPECT_EQ(settings.TimeDelimiter, ':');
  EXPECT_EQ(settings.AmText, "am");
  EXPECT_EQ(settings.PmText, "pm");
  EXPECT_EQ(settings.MonthAbbreviations[0], "Jan");
  EXPECT_EQ(settings.MonthNames[11], "December");
  EXPECT_EQ(settings.DayAbbreviations[0], "Sun");
  EXPECT_EQ(settings.DayNames[6], "Saturday");
  EXPECT_TRUE(settings.LeadBytes.none());
  EXPECT_EQ(settings.Locale, 0x0409u);
  EXPECT_EQ(settings.PrimaryLanguage, 0x09);
  EXPECT_EQ(settings.SubLanguage, 1);
}

TEST(ReadRegionalSettings, ThreeWaysOfReading) {
  const struct {
    LocaleType type;
    const char* answer;  // nullptr: the query fails
    std::string RegionalSettings::*text;
    char RegionalSettings::*character;
    std::string expected;
    const char* why;
  } cases[] = {
      {kLocaleS1159, "AM", &RegionalSettings::AmText, nullptr, "AM", "text"},
      {kLocaleS1159, "", &RegionalSettings::AmText, nullptr, "", "an empty text stays empty"},
      {kLocaleS2359, nullptr, &RegionalSettings::PmText, nullptr, "pm", "failed: default"},
      {kLocaleS2359, "\x8c\xdf\x8c\xe3", &RegionalSettings::PmText, nullptr, "\x8c\xdf\x8c\xe3",
       "bytes as they come"},
      {kLocaleSShortDate, "", &RegionalSettings::ShortDatePattern, nullptr, "",
       "an empty short-date pattern stays empty"},
      {kLocaleSLongDate, "dddd, d. MMMM yyyy", &RegionalSettings::LongDatePattern, nullptr,
       "dddd, d. MMMM yyyy", "long date"},
      {kLocaleSDate, ".", nullptr, &RegionalSettings::DateDelimiter, ".", "one character"},
      {kLocaleSDate, ". ", nullptr, &RegionalSettings::DateDelimiter, "/",
       "two characters do not fit: default"},
      {kLocaleSDate, "", nullptr, &RegionalSettings::DateDelimiter, std::string(1, '\0'),
       "empty: byte 0"},
      {kLocaleSTime, ".", nullptr, &RegionalSettings::TimeDelimiter, ".", "time delimiter"},
      {kLocaleSTime, "\x81\x46", nullptr, &RegionalSettings::TimeDelimiter, ":",
       "a double-byte character does not fit"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    if (c.answer != nullptr) fake.localeInfo[c.type] = c.answer;
    const RegionalSettings settings = ReadRegionalSettings(fake);
    const std::string actual =
        c.text != nullptr ? settings.*c.text : std::string(1, settings.*c.character);
    EXPECT_EQ(actual, c.expected) << c.why;
  }
}

TEST(ReadRegionalSettings, TextsUpTo255Bytes) {
  FakePlatform fake;
  fake.localeInfo[kLocaleS1159] = std::string(255, 'a');
  fake.localeInfo[kLocaleS2359] = std::string(256, 'p');  // with its terminator: too long
  const RegionalSettings settings = ReadRegionalSettings(fake);
  EXPECT_EQ(settings.AmText, std::string(255, 'a'));
  EXPECT_EQ(settings.PmText, "pm");
}

TEST(ReadRegionalSettings, NamesCountTheWeekFromMonday) {
  FakePlatform fake;
  const char* const days[] = {"Montag", "Dienstag", "Mittwoch", "Donnerstag",
                              "Freitag", "Samstag", "Sonntag"};
  for (LocaleType n = 0; n < 7; ++n) {
    fake.localeInfo[kLocaleSDayName1 + n] = days[n];
    fake.localeInfo[kLocaleSAbbrevDayName1 + n] = std::string(days[n], 2);
  }
  fake.localeInfo[kLocaleSMonthName1] = "Januar";
  fake.localeInfo[kLocaleSMonthName1 + 11] = "";  // empty: the default
  fake.localeInfo[kLocaleSAbbrevMonthName1 + 2] = "M\xe4r";
  const RegionalSettings settings = ReadRegionalSettings(fake);
  EXPECT_EQ(settings.DayNames[0], "Sonntag");
  EXPECT_EQ(settings.DayNames[1], "Montag");
  EXPECT_EQ(settings.DayNames[6], "Samstag");
  EXPECT_EQ(settings.DayAbbreviations[0], "So");
  EXPECT_EQ(settings.DayAbbreviations[3], "Mi");
  EXPECT_EQ(settings.MonthNames[0], "Januar");
  EXPECT_EQ(settings.MonthNames[1], "February");
  EXPECT_EQ(settings.MonthNames[11], "December") << "an empty name takes the default";
  EXPECT_EQ(settings.MonthAbbreviations[2], "M\xe4r");
}

TEST(ReadRegionalSettings, TimePatternsAreBuiltFromTheClockSettings) {
  const struct {
    const char* leadingZero;  // nullptr: the query fails
    const char* clock;
    const char* markerPosition;
    const char* longTime;
    const char* shortTime;
    bool markerPositionRead;  // only the 12-hour clock asks for it
    const char* why;
  } cases[] = {
      {nullptr, nullptr, nullptr, "h:mm:ss AMPM", "h:mm AMPM", true,
       "defaults: 12-hour, marker behind"},
      {"1", "1", nullptr, "hh:mm:ss", "hh:mm", false, "24-hour with leading zero"},
      {"0", "1", "1", "h:mm:ss", "h:mm", false,
       "the marker position counts only on the 12-hour clock"},
      {"0", "0", "1", "AMPM h:mm:ss", "AMPM h:mm", true, "marker in front"},
      {"1", "0", "0", "hh:mm:ss AMPM", "hh:mm AMPM", true, "marker behind"},
      {"2", "2", nullptr, "hh:mm:ss", "hh:mm", false, "any other clock kind has no marker"},
      {"x", "x", "x", "h:mm:ss AMPM", "h:mm AMPM", true, "not a number: 0"},
      {"1 ", "1 ", nullptr, "h:mm:ss AMPM", "h:mm AMPM", true,
       "a trailing blank is not a number"},
      {" 1", " 1", nullptr, "hh:mm:ss", "hh:mm", false, "a leading blank is"},
      {"$1", "$0", "0x1", "AMPM hh:mm:ss", "AMPM hh:mm", true, "hexadecimal numbers"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    if (c.leadingZero != nullptr) fake.localeInfo[kLocaleITLZero] = c.leadingZero;
    if (c.clock != nullptr) fake.localeInfo[kLocaleITime] = c.clock;
    if (c.markerPosition != nullptr) fake.localeInfo[kLocaleITimeMarkPosn] = c.markerPosition;
    const RegionalSettings settings = ReadRegionalSettings(fake);
    EXPECT_EQ(settings.LongTimePattern, c.longTime) << c.why;
    EXPECT_EQ(settings.ShortTimePattern, c.shortTime) << c.why;
    const auto& asked = fake.localeQueries;
    EXPECT_EQ(std::count(asked.begin(), asked.end(), kLocaleITimeMarkPosn),
              c.markerPositionRead ? 1 : 0)
        << c.why;
  }
}

CodePageInfo DoubleByteCodePage() {
  CodePageInfo info;
  info.MaxCharSize = 2;
  const std::uint8_t ranges[] = {0x81, 0x9F, 0xE0, 0xFC};
  std::copy(std::begin(ranges), std::end(ranges), info.LeadByte);
  return info;
}

TEST(ReadRegionalSettings, LeadBytesOfTheLocalesCodePage) {
  const struct {
    const char* localeCodePage;  // nullptr: the query fails
    bool knownLocaleCodePage;    // GetCPInfo answers for 932
    bool knownSystemCodePage;    // GetCPInfo answers for the system's (0)
    bool expectLeadBytes;
    const char* why;
  } cases[] = {
      {"932", true, false, true, "the locale's code page"},
      {"932", false, true, true, "unknown: the system's code page"},
      {nullptr, false, true, true, "no locale value: the system's code page"},
      {"junk", false, true, true, "not a number: the system's code page"},
      {"932", false, false, false, "neither known: none"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    if (c.localeCodePage != nullptr) {
      fake.localeInfo[kLocaleIDefaultAnsiCodePage] = c.localeCodePage;
    }
    if (c.knownLocaleCodePage) fake.codePages[932] = DoubleByteCodePage();
    if (c.knownSystemCodePage) fake.codePages[kAnsiCodePage] = DoubleByteCodePage();
    const LeadByteSet leadBytes = ReadRegionalSettings(fake).LeadBytes;
    if (!c.expectLeadBytes) {
      EXPECT_TRUE(leadBytes.none()) << c.why;
      continue;
    }
    EXPECT_EQ(leadBytes.count(), 31u + 29u) << c.why;
    for (int byte : {0x81, 0x9F, 0xE0, 0xFC}) EXPECT_TRUE(leadBytes.test(byte)) << c.why;
    for (int byte : {0x00, 0x40, 0x80, 0xA0, 0xDF, 0xFD}) {
      EXPECT_FALSE(leadBytes.test(byte)) << c.why;
    }
  }

  FakePlatform singleByte;
  singleByte.localeInfo[kLocaleIDefaultAnsiCodePage] = "1252";
  singleByte.codePages[1252] = CodePageInfo{1, {}};
  EXPECT_TRUE(ReadRegionalSettings(singleByte).LeadBytes.none());
  EXPECT_EQ(singleByte.localeCalls, std::vector<std::string>{"GetCPInfo(1252)"});
}

TEST(ReadRegionalSettings, LanguageOfTheThreadLocale) {
  const struct {
    LocaleId locale;
    std::uint16_t primary, sub;
  } cases[] = {{0x0411, 0x11, 1}, {0x0804, 0x04, 2}, {0x0404, 0x04, 1}, {0x00010407, 0x07, 1}};
  for (const auto& c : cases) {
    FakePlatform fake;
    fake.threadLocale = c.locale;
    const RegionalSettings settings = ReadRegionalSettings(fake);
    EXPECT_EQ(settings.Locale, c.locale);
    EXPECT_EQ(settings.PrimaryLanguage, c.primary) << std::hex << c.locale;
    EXPECT_EQ(settings.SubLanguage, c.sub) << std::hex << c.locale;
  }
}

TEST(WithEraElements, EraCalendarsAndEastAsianLanguages) {
  LeadByteSet shiftJis;
  for (int byte = 0x81; byte <= 0x9F; ++byte) shiftJis.set(byte);
  const struct {
    const char* pattern;
    std::int32_t calendar;
    std::uint16_t language;
    const char* expected;
    const char* why;
  } cases[] = {
      {"gg yyyy/MM/dd", 3, kLanguageJapanese, "ggg eeee/MM/dd", "era calendar"},
      {"GG YY y", 4, 0x09, "ggg ee e", "any case, any language"},
      {"g yyy yyyyy", 5, 0x09, "g eee eeeee", "one g stays; runs split into yyyy, yy, y"},
      {"\x81y yy", 3, kLanguageJapanese, "\x81y ee", "a trail byte is no element"},
      {"'y'", 3, 0x09, "'e'", "quotes do not protect"},
      {"gg yyyy", 2, kLanguageJapanese, " yyyy", "Japanese: era letters removed"},
      {"Gg yy", 1, kLanguageChinese, " yy", "Chinese"},
      {"ggyy", 1, kLanguageKorean, "yy", "Korean"},
      {"\x81g g", 1, kLanguageJapanese, "\x81g ", "a trail byte g is kept"},
      {"gg yyyy", 1, 0x09, "gg yyyy", "other languages: unchanged"},
      {"gg yyyy", 6, 0x07, "gg yyyy", "other calendars: unchanged"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithEraElements(c.pattern, c.calendar, c.language, shiftJis), c.expected) << c.why;
  }
}

TEST(ReadRegionalSettings, EraRewriteOfBothDatePatterns) {
  FakePlatform fake;
  fake.threadLocale = 0x0411;
  fake.localeInfo[kLocaleICalendarType] = "3";
  fake.localeInfo[kLocaleSShortDate] = "gg y/MM/dd";
  fake.localeInfo[kLocaleSLongDate] = "ggyyyy'\x94N'M'\x8c\x8e'd'\x93\xfa'";
  fake.localeInfo[kLocaleIDefaultAnsiCodePage] = "932";
  fake.codePages[932] = DoubleByteCodePage();
  const RegionalSettings settings = ReadRegionalSettings(fake);
  EXPECT_EQ(settings.ShortDatePattern, "ggg e/MM/dd");
  EXPECT_EQ(settings.LongDatePattern, "gggeeee'\x94N'M'\x8c\x8e'd'\x93\xfa'");

  FakePlatform gregorian;  // calendar type unreadable: 1
  gregorian.threadLocale = 0x0411;
  gregorian.localeInfo[kLocaleSShortDate] = "gg yyyy/MM/dd";
  EXPECT_EQ(ReadRegionalSettings(gregorian).ShortDatePattern, " yyyy/MM/dd");
}

}  // namespace
}  // namespace runwarden
