#include "platform/linux/posix_time_locale_linux.h"

#include <gtest/gtest.h>

#include "core/calendar/text_forms.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

// The values of three glibc locales, as nl_langinfo gives them.
PosixTimeLocale German() {
  PosixTimeLocale locale;
  locale.DateFormat = "%d.%m.%Y";
  locale.TimeFormat = "%T";
  locale.MonthNames = {"Januar", "Februar", "M\xc3\xa4rz",  "April",     "Mai",      "Juni",
                       "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
  locale.MonthAbbreviations = {"Jan", "Feb", "M\xc3\xa4r", "Apr", "Mai", "Jun",
                               "Jul", "Aug", "Sep",        "Okt", "Nov", "Dez"};
  locale.DayNames = {"Sonntag",  "Montag",  "Dienstag", "Mittwoch",
                     "Donnerstag", "Freitag", "Samstag"};
  locale.DayAbbreviations = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
  return locale;
}

PosixTimeLocale AmericanEnglish() {
  PosixTimeLocale locale;
  locale.DateFormat = "%m/%d/%Y";
  locale.TimeFormat = "%r";
  locale.TwelveHourTimeFormat = "%I:%M:%S %p";
  locale.AmText = "AM";
  locale.PmText = "PM";
  return locale;
}

PosixTimeLocale Japanese() {
  PosixTimeLocale locale;
  locale.DateFormat = "%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5";  // %Y年%m月%d日
  locale.TimeFormat = "%H\xe6\x99\x82%M\xe5\x88\x86%S\xe7\xa7\x92";  // %H時%M分%S秒
  locale.TwelveHourTimeFormat = "%p%I\xe6\x99\x82%M\xe5\x88\x86%S\xe7\xa7\x92";
  locale.AmText = "\xe5\x8d\x88\xe5\x89\x8d";  // 午前
  locale.PmText = "\xe5\x8d\x88\xe5\xbe\x8c";  // 午後
  return locale;
}

std::string Info(const PosixTimeLocale& locale, LocaleType type) {
  return PosixLocaleInfo(locale, type).value_or("<none>");
}

TEST(PosixLocaleInfo, LocaleValuesOfGlibcLocales) {
  const struct {
    PosixTimeLocale locale;
    LocaleType type;
    std::string expected;
    const char* why;
  } cases[] = {
      {German(), kLocaleSShortDate, "dd.MM.yyyy", "zero-padded day and month"},
      {German(), kLocaleSDate, ".", "the date separator"},
      {German(), kLocaleSTime, ":", "the separator of %T"},
      {German(), kLocaleITime, "1", "%H: 24-hour clock"},
      {German(), kLocaleITLZero, "1", "%H has a leading zero"},
      {German(), kLocaleITimeMarkPosn, "<none>", "no 12-hour format"},
      {German(), kLocaleS1159, "", "an empty marker stays empty"},
      {German(), kLocaleSMonthName1 + 2, "M\xc3\xa4rz", "month name"},
      {German(), kLocaleSAbbrevMonthName1 + 9, "Okt", "month abbreviation"},
      {German(), kLocaleSDayName1, "Montag", "day 1 is Monday"},
      {German(), kLocaleSDayName1 + 6, "Sonntag", "day 7 is Sunday"},
      {German(), kLocaleSAbbrevDayName1 + 6, "So", "abbreviation of Sunday"},
      {German(), kLocaleSLongDate, "<none>", "no source"},
      {German(), kLocaleICalendarType, "<none>", "no source"},
      {German(), kLocaleIDefaultAnsiCodePage, "<none>", "no source"},
      {AmericanEnglish(), kLocaleSShortDate, "MM/dd/yyyy", "the separator / stays an element"},
      {AmericanEnglish(), kLocaleSDate, "/", "the date separator"},
      {AmericanEnglish(), kLocaleITime, "0", "%r is %I: 12-hour clock"},
      {AmericanEnglish(), kLocaleITLZero, "1", "%I has a leading zero"},
      {AmericanEnglish(), kLocaleITimeMarkPosn, "0", "%p after the hour"},
      {AmericanEnglish(), kLocaleS2359, "PM", "PM_STR"},
      {Japanese(), kLocaleSShortDate, "yyyy\xe5\xb9\xb4MM\xe6\x9c\x88" "dd\xe6\x97\xa5",
       "multi-byte literals copied"},
      {Japanese(), kLocaleSDate, "\xe5\xb9\xb4", "a separator of three bytes"},
      {Japanese(), kLocaleITime, "1", "24-hour"},
      {Japanese(), kLocaleITimeMarkPosn, "1", "%p before the hour in the 12-hour format"},
  };
  for (const auto& c : cases) EXPECT_EQ(Info(c.locale, c.type), c.expected) << c.why;
}

TEST(PosixLocaleInfo, DateFormatsInThePatternLanguage) {
  const struct {
    const char* format;
    const char* pattern;
    const char* separator;
    const char* why;
  } cases[] = {
      {"%d de %B de %Y", "dd 'de' MMMM 'de' yyyy", " de ", "letters are quoted"},
      {"%d'%m", "dd\"'\"MM", "'", "a single quote goes into double quotes"},
      {"%d\"%m", "dd'\"'MM", "\"", "a double quote into single quotes"},
      {"%d.%m/%Y", "dd.MM'/'yyyy", ".", "a / that is not the separator is quoted"},
      {"%d:%m", "dd':'MM", ":", "the time delimiter is quoted"},
      {"%-d/%-m/%y", "d/M/yy", "/", "no padding"},
      {"%e.%_m.%Y", "d.M.yyyy", ".", "space padding has no zero"},
      {"%0e", "dd", "<none>", "zero padding"},
      {"%Ey %Od %5Y", "yy dd yyyy", " ", "modifiers and widths dropped"},
      {"%D", "MM/dd/yy", "/", "%D"},
      {"%F", "yyyy-MM-dd", "-", "%F"},
      {"%a %b %A %B %h", "ddd MMM dddd MMMM MMM", " ", "names"},
      {"%d%e%y%Y", "dd''dyy''yyyy", "", "elements of one letter kept apart"},
      {"%j.%Y", ".yyyy", "<none>", "no element for the day of the year"},
      {"%A, %d.%m", "dddd, dd.MM", ", ", "the separator follows the first date element"},
      {"%d%%%m", "dd%MM", "%", "%%"},
      {"%d%n%m%t", "dd\nMM\t", "\n", "%n and %t"},
      {"%d%", "dd%", "<none>", "a format that ends in %"},
      {"%d%-", "dd%-", "<none>", "or in a flag"},
      {"", "", "<none>", "empty"},
  };
  for (const auto& c : cases) {
    PosixTimeLocale locale;
    locale.DateFormat = c.format;
    EXPECT_EQ(Info(locale, kLocaleSShortDate), c.pattern) << c.why;
    EXPECT_EQ(Info(locale, kLocaleSDate), c.separator) << c.why;
  }
}

TEST(PosixLocaleInfo, ClockSettingsFromTheTimeFormats) {
  const struct {
    const char* time;
    const char* twelveHour;
    const char* clock;
    const char* leadingZero;
    const char* markerPosition;
    const char* separator;
    const char* why;
  } cases[] = {
      {"%H:%M:%S", "", "1", "1", "<none>", ":", "24-hour"},
      {"%k.%M", "", "1", "0", "<none>", ".", "%k: no leading zero"},
      {"%0k:%M", "", "1", "1", "<none>", ":", "%0k: leading zero"},
      {"%-H:%M", "", "1", "0", "<none>", ":", "%-H: none"},
      {"%l:%M %p", "", "0", "0", "0", ":", "%l with the marker behind"},
      {"%p %I:%M", "%I:%M %p", "0", "1", "1", ":", "the time format's own marker counts"},
      {"%R", "%p %I", "1", "1", "1", ":", "marker position from the 12-hour format"},
      {"%r", "", "0", "1", "0", ":", "%r without a 12-hour format"},
      {"%r", "%r", "<none>", "<none>", "<none>", "<none>", "a 12-hour format naming itself"},
      {"%M:%S", "", "<none>", "<none>", "<none>", "<none>", "no hour"},
  };
  for (const auto& c : cases) {
    PosixTimeLocale locale;
    locale.TimeFormat = c.time;
    locale.TwelveHourTimeFormat = c.twelveHour;
    EXPECT_EQ(Info(locale, kLocaleITime), c.clock) << c.why;
    EXPECT_EQ(Info(locale, kLocaleITLZero), c.leadingZero) << c.why;
    EXPECT_EQ(Info(locale, kLocaleITimeMarkPosn), c.markerPosition) << c.why;
    EXPECT_EQ(Info(locale, kLocaleSTime), c.separator) << c.why;
  }
}

// The whole way: POSIX values read as locale values, then the text of a DateTime.
TEST(PosixLocaleInfo, TextOfADateTime) {
  const DateTime afternoon = DateFromParts(2026, 12, 6) + TimeFromParts(15, 4, 5, 250);
  const struct {
    PosixTimeLocale locale;
    const char* pattern;
    const char* expected;
  } cases[] = {
      {German(), "C", "06.12.2026 15:04:05"},
      {German(), "dddd, d. mmmm", "Sonntag, 6. Dezember"},
      {AmericanEnglish(), "C", "12/06/2026 03:04:05 PM"},
      {Japanese(), "C", "2026\xe5\xb9\xb4" "12\xe6\x9c\x88" "06\xe6\x97\xa5 15:04:05"},
  };
  for (const auto& c : cases) {
    testing::FakePlatform fake;
    for (LocaleType type = 0; type < 0x1100; ++type) {
      if (auto value = PosixLocaleInfo(c.locale, type)) fake.localeInfo[type] = *value;
    }
    const RegionalSettings settings = ReadRegionalSettings(fake);
    EXPECT_EQ(FormatByPattern(c.pattern, afternoon, settings, fake), c.expected);
  }
}

}  // namespace
}  // namespace runwarden
