#include "core/calendar/text_forms.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;

DateTime At(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour,
            std::uint16_t minute, std::uint16_t second, std::uint16_t millisecond = 0) {
  const DateTime date = DateFromParts(year, month, day);
  const DateTime time = TimeFromParts(hour, minute, second, millisecond);
  return date >= 0 ? date + time : date - time;  // the time counts forward before 1899 too
}

// Sunday, 6 December 2026, 15:04:05.250.
const DateTime kAfternoon = At(2026, 12, 6, 15, 4, 5, 250);

struct Case {
  std::string pattern;
  std::string expected;
  const char* why;
};

void ExpectTexts(const Case* begin, const Case* end, DateTime value,
                 const RegionalSettings& settings) {
  FakePlatform fake;
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(FormatByPattern(c->pattern, value, settings, fake), c->expected)
        << "pattern [" << c->pattern << "]: " << c->why;
  }
}

template <std::size_t N>
void ExpectTexts(const Case (&cases)[N], DateTime value, const RegionalSettings& settings = {}) {
  ExpectTexts(cases, cases + N, value, settings);
}

TEST(DateTimeText, WithoutLocaleValues) {
  FakePlatform fake;  // every locale query fails
  const RegionalSettings settings = ReadRegionalSettings(fake);
  const struct {
    DateTime value;
    const char* expected;
    const char* why;
  } cases[] = {
      {kAfternoon, "12/6/26 3:04:05 pm", "milliseconds never appear"},
      {At(2026, 12, 6, 0, 0, 0), "12/6/26", "midnight: no time and no blank"},
      {At(2026, 12, 6, 0, 0, 0, 400), "12/6/26", "milliseconds do not count as a time"},
      {At(2026, 12, 6, 0, 0, 1), "12/6/26 12:00:01 am", "hour 0 on the 12-hour clock is 12"},
      {At(2026, 12, 6, 12, 30, 0), "12/6/26 12:30:00 pm", "noon is pm"},
      {DateFromParts(2026, 12, 7) - 0.4 / kMillisecondsPerDay, "12/7/26",
       "less than half a millisecond before midnight is the next day"},
      {At(2026, 12, 6, 9, 59, 59, 999) + 0.6 / kMillisecondsPerDay, "12/6/26 10:00:00 am",
       "rounded to whole milliseconds first"},
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeText(c.value, settings, fake), c.expected) << c.why;
}

TEST(DateTimeText, LocaleForms) {
  FakePlatform fake;
  RegionalSettings german;
  german.ShortDatePattern = "dd.MM.yyyy";
  german.LongTimePattern = "hh:mm:ss";
  EXPECT_EQ(DateTimeText(kAfternoon, german, fake), "06.12.2026 15:04:05")
      << "dots copied, MM the month as no h precedes it";
  EXPECT_EQ(DateTimeText(At(2026, 12, 6, 7, 0, 0), german, fake), "06.12.2026 07:00:00");

  RegionalSettings noDate;
  noDate.ShortDatePattern = "";
  EXPECT_EQ(DateTimeText(kAfternoon, noDate, fake), " 3:04:05 pm") << "the blank stays in front";
  EXPECT_EQ(DateTimeText(At(2026, 12, 6, 0, 0, 0), noDate, fake), "");

  RegionalSettings selfNamed;
  selfNamed.ShortDatePattern = "m/d/yy c";
  EXPECT_EQ(DateTimeText(kAfternoon, selfNamed, fake), "12/6/26  3:04:05 pm")
      << "c inside the short-date pattern puts out nothing";
}

TEST(FormatByPattern, EachElementAloneAndWrapped) {
  const Case cases[] = {
      {"d", "6", "day"},
      {"dd", "06", "day, two digits"},
      {"ddd", "Sun", "day abbreviation"},
      {"dddd", "Sunday", "day name"},
      {"ddddd", "12/6/26", "short date"},
      {"dddddd", "December 6, 2026", "long date"},
      {"ddddddddd", "December 6, 2026", "any longer run: long date"},
      {"m", "12", "month"},
      {"mmm", "Dec", "month abbreviation"},
      {"mmmm", "December", "month name"},
      {"mmmmmm", "December", "any longer run: month name"},
      {"n", "4", "minute"},
      {"nn", "04", "minute, two digits"},
      {"nnnn", "04", "never more than two digits"},
      {"y", "26", "two-digit year even for one y"},
      {"yy", "26", "two-digit year"},
      {"yyy", "2026", "three or more: the whole year"},
      {"yyyyy", "2026", "the whole year"},
      {"h", "15", "hour, 24-hour clock without a marker"},
      {"hhh", "15", "hour"},
      {"s", "5", "second"},
      {"sss", "05", "second, two digits at most"},
      {"z", "250", "millisecond"},
      {"t", "3:04 pm", "short time"},
      {"tt", "3:04:05 pm", "long time"},
      {"ttttt", "3:04:05 pm", "any longer run: long time"},
      {"c", "12/6/26 3:04:05 pm", "date and time"},
      {"cc", "12/6/26 3:04:05 pm", "a run of c is one element"},
      {"am/pm", "pm", "own fourth and fifth characters from noon"},
      {"AM/pm", "pm", "as written"},
      {"Am/Pm", "Pm", "as written"},
      {"a/p", "p", "own third character"},
      {"A/P", "P", "as written"},
      {"ampm", "pm", "PmText"},
      {"AMPM", "pm", "PmText whatever the case"},
      {"aaaa", "Sunday", "day name"},
      {"AaAa", "Sunday", "any case"},
      {"aaa", "Sun", "day abbreviation"},
      {"aaaaa", "Sundaya", "not a run: aaaa, then a"},
      {"aa", "aa", "any other a is itself"},
      {"a/x", "a/x", "a, then the date delimiter, then x"},
      {"/", "/", "date delimiter"},
      {":", ":", "time delimiter"},
      {"'de'", "de", "quoted letters are copied, not elements"},
      {"\"hh\"", "hh", "double quotes"},
      {"'it\"s'", "it\"s", "only the same quote ends the run"},
      {"'open", "open", "without a closing quote: to the end"},
      {"''", "", "empty quotes"},
      {"x", "x", "a letter without meaning"},
      {"xx", "xx", "one byte at a time"},
      {"-.,;!? ", "-.,;!? ", "other bytes"},
      {"", "", "empty pattern"},
      {"<d>", "<6>", "wrapped"},
      {"[dddd, mmmm d, yyyy]", "[Sunday, December 6, 2026]", "wrapped"},
      {"[h:nn:ss.zzz]", "[15:04:05.250]", "wrapped"},
  };
  ExpectTexts(cases, kAfternoon);
}

TEST(FormatByPattern, NumbersArePaddedToTheirDigits) {
  const DateTime early = At(5, 3, 7, 8, 9, 1, 7);  // 0005-03-07 08:09:01.007
  const Case cases[] = {
      {"d dd", "7 07", "day"},       {"m mm", "3 03", "month"},
      {"y yyyy", "05 0005", "year"}, {"h hh", "8 08", "hour"},
      {"n nn", "9 09", "minute"},    {"s ss", "1 01", "second"},
      {"z zz zzz zzzz", "7 07 007 007", "millisecond: at most three digits"},
  };
  ExpectTexts(cases, early);
}

TEST(FormatByPattern, MinutesFollowAnHour) {
  const Case cases[] = {
      {"h:mm", "15:04", "mm after h is the minute"},
      {"M/d/yyyy h:mm", "12/6/2026 15:04", "M the month, mm the minute"},
      {"H:MM", "15:04", "any case"},
      {"mm:ss", "12:05", "no h before: the month"},
      {"h mm", "15 04", "a blank keeps the previous letter"},
      {"h'x'mm", "15x04", "quoted letters keep it too"},
      {"h x mm", "15 x 12", "any letter is the previous letter"},
      {"hhmmmm", "1504", "a run of m after h is the minute"},
      {"h:mm:mm", "15:04:12", "the previous letter is then M"},
      {"h:mm dd mm", "15:04 06 12", "d in between"},
  };
  ExpectTexts(cases, kAfternoon);
}

TEST(FormatByPattern, TwelveHourClock) {
  const Case cases[] = {
      {"h AMPM", "3 pm", "look-ahead finds the marker"},
      {"h am/pm", "3 pm", "look-ahead finds am/pm"},
      {"h a/p", "3 p", "look-ahead finds a/p"},
      {"AMPM h", "pm 3", "the marker before the hour sets the clock"},
      {"a/p h h", "p 3 3", "it stays set"},
      {"h h am/pm", "15 3 pm", "the look-ahead ends at the next h"},
      {"h x am/pm", "3 x pm", "other bytes are passed over"},
      {"h a am/pm", "15 a pm", "an a that is no marker ends the look-ahead"},
      {"h aaaa am/pm", "15 Sunday pm", "aaaa ends it too"},
      {"h 'am/pm'", "15 am/pm", "a quoted marker does not count"},
      {"h \"a\" AMPM", "3 a pm", "after the quotes it counts"},
      {"h \"x' ampm", "3 x' ampm", "quotes of both kinds switch one look-ahead state"},
      {"h 'open ampm", "15 open ampm", "an open quote runs to the end"},
      {"h 'h' ampm", "15 h pm", "an h ends the look-ahead also inside quotes"},
      {"t h", "3:04 pm 15", "a nested pattern has a clock of its own"},
  };
  ExpectTexts(cases, kAfternoon);

  const Case hours[] = {
      {"h AMPM|hh a/p", "12 am|12 a", "hour 0 shows 12"},
      {"h|hh", "0|00", "hour 0 on the 24-hour clock"},
  };
  ExpectTexts(hours, At(2026, 12, 6, 0, 5, 0));
  ExpectTexts({{"h AMPM", "12 pm", "hour 12 stays 12"}}, At(2026, 12, 6, 12, 0, 0));
  ExpectTexts({{"hh AMPM", "01 pm", "hour 13 shows 1"}}, At(2026, 12, 6, 13, 0, 0));
  ExpectTexts({{"h a/p", "11 a", "before noon: hour below 12"}}, At(2026, 12, 6, 11, 59, 59));
}

TEST(FormatByPattern, SettingsOfTheLocale) {
  RegionalSettings settings;
  settings.DateDelimiter = '.';
  settings.TimeDelimiter = 0;
  settings.AmText = "";
  settings.PmText = "nachm.";
  settings.MonthNames[11] = "Dezember";
  settings.DayAbbreviations[0] = "So";
  const Case cases[] = {
      {"d/m", "6.12", "DateDelimiter"},
      {"h:nn", "1504", "TimeDelimiter 0 puts out nothing"},
      {"ampm", "nachm.", "PmText"},
      {"mmmm, ddd", "Dezember, So", "names"},
  };
  ExpectTexts(cases, kAfternoon, settings);
  ExpectTexts({{"[ampm]", "[]", "an empty AmText stays empty"}}, At(2026, 12, 6, 9, 0, 0),
              settings);
}

TEST(FormatByPattern, NestingGoesOneLevelDeep) {
  RegionalSettings settings;
  settings.ShortDatePattern = "d ddddd dddddd t tt c";
  settings.LongDatePattern = "[dddd|ddddd|c]";
  settings.ShortTimePattern = "h:nn t";
  settings.LongTimePattern = "h:nn:ss tt|c";
  const Case cases[] = {
      {"ddddd", "6     ", "inside the short date, nested elements put out nothing"},
      {"dddddd", "[Sunday||]", "long date"},
      {"t", "15:04 ", "short time"},
      {"tt", "15:04:05 |", "long time"},
      {"c", "6      15:04:05 |", "date, blank, time"},
      {"ddddd-t", "6     -15:04 ", "each element expands at depth one"},
  };
  ExpectTexts(cases, kAfternoon, settings);
}

TEST(FormatByPattern, CutAt256Bytes) {
  RegionalSettings settings;
  settings.DayNames[0] = std::string(200, 'S');
  settings.ShortDatePattern = std::string(255, '-');
  FakePlatform fake;
  const struct {
    std::string pattern;
    std::string expected;
    const char* why;
  } cases[] = {
      {std::string(300, 'x'), std::string(256, 'x'), "plain bytes"},
      {"dddd dddd", std::string(200, 'S') + " " + std::string(55, 'S'), "inside a name"},
      {std::string(254, 'x') + "yyyy", std::string(254, 'x') + "20", "inside a number"},
      {"c", std::string(255, '-') + " ", "inside a nested pattern: the blank fits, the time not"},
      {std::string(255, 'x') + "'ab'", std::string(255, 'x') + "a", "inside quotes"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatByPattern(c.pattern, kAfternoon, settings, fake), c.expected) << c.why;
  }
}

TEST(FormatByPattern, LeadBytesKeepTheirTrailByte) {
  RegionalSettings settings;
  for (int byte = 0x81; byte <= 0x9F; ++byte) settings.LeadBytes.set(byte);
  const Case cases[] = {
      {"\x81" "d", "\x81" "d", "a trail byte is no element"},
      {"d\x81", "6\x81", "a lead byte at the end"},
      {"'\x81'x'", "\x81'x", "a trail byte cannot end quotes"},
      {"h\x81\x40mm", "15\x81\x40" "12", "a lead byte resets the previous letter"},
      {"h-mm", "15-04", "other bytes do not"},
      {"h\x81" "am/pm", "15\x81" "a12/p12", "the look-ahead skips the trail byte a"},
      {"\x9F\x9F" "dd", "\x9F\x9F" "06", "a lead byte as a trail byte"},
  };
  ExpectTexts(cases, kAfternoon, settings);
  ExpectTexts({{"h\x81" "am/pm", "3\x81" "pm", "without lead bytes the a is a marker"}},
              kAfternoon);
}

TEST(FormatByPattern, EraElementsAskThePlatform) {
  FakePlatform fake;
  fake.altCalendarDates = {{"gg", "\x95\xbd\x90\xac"}, {"yy", "08"}, {"yyyy", "0008"}};
  RegionalSettings japanese;
  japanese.Locale = 0x0411;
  japanese.PrimaryLanguage = kLanguageJapanese;
  japanese.SubLanguage = 1;
  for (int byte : {0x81, 0x95, 0x90}) japanese.LeadBytes.set(byte);
  const struct {
    std::string pattern;
    std::string expected;
    const char* why;
  } cases[] = {
      {"gg", "\x95\xbd\x90\xac", "era name"},
      {"g", "\x95\xbd", "Japanese: one g is the first character"},
      {"ggg", "\x95\xbd\x90\xac", "era name"},
      {"e", "8", "one e drops a leading 0"},
      {"ee", "08", "yy of the era"},
      {"eee", "0008", "yyyy of the era"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatByPattern(c.pattern, kAfternoon, japanese, fake), c.expected) << c.why;
  }
  ASSERT_FALSE(fake.localeCalls.empty());
  EXPECT_EQ(fake.localeCalls.back(), "GetDateFormatA(1041, 4, 2026-12-6 wd0, yyyy)");
  fake.altCalendarDates["yy"] = "10";
  EXPECT_EQ(FormatByPattern("e", kAfternoon, japanese, fake), "10")
      << "one e keeps a year without a leading 0 whole";

  fake.altCalendarDates["gg"] = "\xa4\xa4\xb5\xd8\xa5\xc1\xb0\xea";  // four characters
  RegionalSettings chinese;
  chinese.PrimaryLanguage = kLanguageChinese;
  chinese.SubLanguage = 1;
  for (int byte = 0x81; byte <= 0xFE; ++byte) chinese.LeadBytes.set(byte);
  EXPECT_EQ(FormatByPattern("g", kAfternoon, chinese, fake), "\xa5\xc1\xb0\xea")
      << "Chinese sub-language 1: the third and fourth of four characters";
  EXPECT_EQ(FormatByPattern("gg", kAfternoon, chinese, fake), "\xa4\xa4\xb5\xd8\xa5\xc1\xb0\xea");
  fake.altCalendarDates["gg"] = "\xa4\xa4\xb5\xd8\xa5\xc1";
  EXPECT_EQ(FormatByPattern("g", kAfternoon, chinese, fake), "\xa4\xa4\xb5\xd8\xa5\xc1")
      << "three characters: the whole name";
  fake.altCalendarDates["gg"] = "\xa4\xa4\xb5\xd8\xa5\xc1\xb0\xea";
  chinese.SubLanguage = 2;
  EXPECT_EQ(FormatByPattern("g", kAfternoon, chinese, fake), "\xa4\xa4\xb5\xd8\xa5\xc1\xb0\xea")
      << "other sub-languages: the whole name";

  FakePlatform failing;
  EXPECT_EQ(FormatByPattern("[g][ee][e]", kAfternoon, japanese, failing), "[][][]")
      << "nothing when the platform fails";
}

TEST(FormatByPattern, ValuesWithoutADateNeverIndexOutOfBounds) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const RegionalSettings settings;
  // The weekday of a value without a date is that of its day number (0 when it has none).
  const struct {
    DateTime value;
    const char* dayName;
  } cases[] = {{nan, "Sunday"},      {infinity, "Sunday"}, {-infinity, "Sunday"},
               {-693594.0, "Sunday"}, {3e7, "Monday"},     {1e300, "Sunday"},
               {-1e300, "Sunday"}};
  for (const auto& c : cases) {
    FakePlatform fake;
    EXPECT_EQ(FormatByPattern("d dd m mm mmm mmmm y yyyy g e h:nn:ss.z", c.value, settings, fake),
              "0 00 0 00   00 0000   0:00:00.0")
        << c.value << ": month 0 has no name";
    EXPECT_EQ(FormatByPattern("dddd|aaaa", c.value, settings, fake),
              std::string(c.dayName) + "|" + c.dayName)
        << c.value;
  }
}

}  // namespace
}  // namespace runwarden
