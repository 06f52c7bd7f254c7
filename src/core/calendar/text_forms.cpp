#include "core/calendar/text_forms.h"

#include <algorithm>
#include <vector>

namespace runwarden {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix) {
  return AsciiLowerCase(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The scan of one pattern. Everything it puts out goes into one text that never grows past
// kMaxPatternTextLength; nested patterns are scanned into the same text.
class PatternWriter {
 public:
  PatternWriter(DateTime value, const RegionalSettings& settings, LocaleApi& locale)
      : settings_(settings),
        locale_(locale),
        date_(SplitDate(value)),
        time_(SplitTime(value)),
        weekday_(WeekdayNumber(value)) {}

  std::string Text() && { return std::move(text_); }

  // nested: the pattern is itself the expansion of an element, so its own nesting
  // elements put out nothing. Each scan starts with the 12-hour clock not set and no
  // previous letter.
  void Write(std::string_view pattern, bool nested) {
    bool twelveHour = false;
    char previousLetter = 0;
    std::size_t i = 0;
    while (i < pattern.size() && text_.size() < kMaxPatternTextLength) {
      const std::string_view rest = pattern.substr(i);
      const char first = rest[0];
      if (IsLeadByte(settings_.LeadBytes, first)) {
        const std::string_view character = rest.substr(0, 2);
        Append(character);
        i += character.size();
        previousLetter = 0;
        continue;
      }
      std::size_t run = 1;
      while (run < rest.size() && rest[run] == first) ++run;
      const char letter = AsciiUpper(first);
      char element = letter;
      if (IsAsciiLetter(first)) {
        if (letter == 'M' && previousLetter == 'H') element = 'N';  // the minute
        previousLetter = letter;
      }
      i += WriteElement(element, rest, run, nested, twelveHour);
    }
  }

 private:
  // Puts out one element that begins rest and has a run of `run` equal bytes; returns the
  // number of pattern bytes it consumes.
  std::size_t WriteElement(char element, std::string_view rest, std::size_t run, bool nested,
                           bool& twelveHour) {
    switch (element) {
      case 'D':
        if (run <= 2) {
          AppendNumber(date_.day, run);
        } else if (run <= 4) {
          Append(DayName(run == 3 ? settings_.DayAbbreviations : settings_.DayNames));
        } else if (!nested) {
          Write(run == 5 ? settings_.ShortDatePattern : settings_.LongDatePattern, true);
        }
        return run;
      case 'M':
        if (run <= 2) AppendNumber(date_.month, run);
        else Append(MonthName(run == 3 ? settings_.MonthAbbreviations : settings_.MonthNames));
        return run;
      case 'N':
        AppendNumber(time_.minute, std::min<std::size_t>(run, 2));
        return run;
      case 'Y':
        if (run <= 2) AppendNumber(date_.year % 100, 2);
        else AppendNumber(date_.year, 4);
        return run;
      case 'H':
        twelveHour = twelveHour || MarkerFollows(rest.substr(run));
        AppendNumber(twelveHour ? TwelveHourClock(time_.hour) : time_.hour,
                     std::min<std::size_t>(run, 2));
        return run;
      case 'S':
        AppendNumber(time_.second, std::min<std::size_t>(run, 2));
        return run;
      case 'Z':
        AppendNumber(time_.millisecond, std::min<std::size_t>(run, 3));
        return run;
      case 'T':
        if (!nested) Write(run == 1 ? settings_.ShortTimePattern : settings_.LongTimePattern, true);
        return run;
      case 'C':
        if (!nested) {
          Write(settings_.ShortDatePattern, true);
          if (time_.hour != 0 || time_.minute != 0 || time_.second != 0) {
            Append(" ");
            Write(settings_.LongTimePattern, true);
          }
        }
        return run;
      case 'A':
        return WriteAElement(rest, twelveHour);
      case 'G':
        Append(EraName(run));
        return run;
      case 'E':
        Append(EraYear(run));
        return run;
      case '/':
        if (settings_.DateDelimiter != 0) Append(std::string_view(&settings_.DateDelimiter, 1));
        return 1;
      case ':':
        if (settings_.TimeDelimiter != 0) Append(std::string_view(&settings_.TimeDelimiter, 1));
        return 1;
      case '"':
      case '\'':
        return WriteQuoted(rest);
      default:
        Append(rest.substr(0, 1));
        return 1;
    }
  }

  // am/pm, a/p and ampm choose by the time of day and set the 12-hour clock; aaaa and aaa
  // are day names; any other a is itself. None of them is a run.
  std::size_t WriteAElement(std::string_view rest, bool& twelveHour) {
    const bool beforeNoon = time_.hour < 12;
    if (StartsWithIgnoringCase(rest, "am/pm")) {
      Append(beforeNoon ? rest.substr(0, 2) : rest.substr(3, 2));
      twelveHour = true;
      return 5;
    }
    if (StartsWithIgnoringCase(rest, "a/p")) {
      Append(beforeNoon ? rest.substr(0, 1) : rest.substr(2, 1));
      twelveHour = true;
      return 3;
    }
    if (StartsWithIgnoringCase(rest, "ampm")) {
      Append(beforeNoon ? settings_.AmText : settings_.PmText);
      twelveHour = true;
      return 4;
    }
    if (StartsWithIgnoringCase(rest, "aaaa")) {
      Append(DayName(settings_.DayNames));
      return 4;
    }
    if (StartsWithIgnoringCase(rest, "aaa")) {
      Append(DayName(settings_.DayAbbreviations));
      return 3;
    }
    Append(rest.substr(0, 1));
    return 1;
  }

  // The bytes up to the same quote again, or to the end; a double-byte character cannot
  // end the run.
  std::size_t WriteQuoted(std::string_view rest) {
    std::size_t end = 1;
    while (end < rest.size() && rest[end] != rest[0]) {
      end += IsLeadByte(settings_.LeadBytes, rest[end]) ? 2 : 1;
    }
    end = std::min(end, rest.size());
    Append(rest.substr(1, end - 1));
    return std::min(end + 1, rest.size());
  }

  // Whether the rest of the pattern after an hour run holds a 12-hour marker before the
  // next hour element. Quotes of both kinds switch one state.
  bool MarkerFollows(std::string_view rest) const {
    bool inQuotes = false;
    for (std::size_t i = 0; i < rest.size(); ++i) {
      const char c = rest[i];
      if (IsLeadByte(settings_.LeadBytes, c)) {
        ++i;
      } else if (IsQuote(c)) {
        inQuotes = !inQuotes;
      } else if (c == 'h' || c == 'H') {
        return false;
      } else if ((c == 'a' || c == 'A') && !inQuotes) {
        const std::string_view at = rest.substr(i);
        return StartsWithIgnoringCase(at, "am/pm") || StartsWithIgnoringCase(at, "a/p") ||
               StartsWithIgnoringCase(at, "ampm");
      }
    }
    return false;
  }

  static unsigned TwelveHourClock(unsigned hour) {
    if (hour == 0) return 12;
    return hour > 12 ? hour - 12 : hour;
  }

  // Names are looked up only for a month of 1 to 12 and a weekday of 1 to 7; a value
  // without a date has month 0 and puts out no name.
  std::string_view MonthName(const std::array<std::string, 12>& names) const {
    return date_.month >= 1 && date_.month <= 12 ? std::string_view(names[date_.month - 1])
                                                 : std::string_view();
  }

  std::string_view DayName(const std::array<std::string, 7>& names) const {
    return weekday_ >= 1 && weekday_ <= 7 ? std::string_view(names[weekday_ - 1])
                                          : std::string_view();
  }

  std::string EraName(std::size_t run) {
    const std::string name = AltCalendarDate("gg");
    if (run != 1) return name;
    const std::vector<std::size_t> starts = CharacterStarts(name);
    if (settings_.PrimaryLanguage == kLanguageJapanese && starts.size() > 1) {
      return name.substr(0, starts[1]);  // the first character
    }
    if (settings_.PrimaryLanguage == kLanguageChinese && settings_.SubLanguage == 1 &&
        starts.size() == 4) {
      return name.substr(starts[2]);  // the third and fourth character
    }
    return name;
  }

  std::string EraYear(std::size_t run) {
    std::string year = AltCalendarDate(run >= 3 ? "yyyy" : "yy");
    if (run == 1 && !year.empty() && year[0] == '0') year.erase(0, 1);
    return year;
  }

  // Where each character of text begins; a lead byte and its trail byte are one.
  std::vector<std::size_t> CharacterStarts(std::string_view text) const {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
      starts.push_back(i);
      i += IsLeadByte(settings_.LeadBytes, text[i]) ? 2 : 1;
    }
    return starts;
  }

  // The platform's text of format for the date of the value in the locale's alternative
  // calendar; empty when the platform cannot give it.
  std::string AltCalendarDate(const char* format) {
    SystemTime date;
    date.wYear = date_.year;
    date.wMonth = date_.month;
    date.wDayOfWeek = static_cast<std::uint16_t>(weekday_ - 1);  // 0 = Sunday
    date.wDay = date_.day;
    char buffer[kMaxPatternTextLength];
    const int stored = locale_.GetDateFormatA(settings_.Locale, kDateUseAltCalendar, &date, format,
                                              buffer, static_cast<int>(std::size(buffer)));
    if (stored <= 0) return {};
    char* const end = buffer + std::min(static_cast<std::size_t>(stored), std::size(buffer));
    return std::string(buffer, std::find(buffer, end, '\0'));
  }

  void Append(std::string_view bytes) {
    text_.append(bytes.substr(0, kMaxPatternTextLength - text_.size()));
  }

  void AppendNumber(unsigned value, std::size_t minimumDigits) {
    const std::string digits = std::to_string(value);
    if (digits.size() < minimumDigits) Append(std::string(minimumDigits - digits.size(), '0'));
    Append(digits);
  }

  const RegionalSettings& settings_;
  LocaleApi& locale_;
  const DateParts date_;
  const TimeParts time_;
  const int weekday_;
  std::string text_;
};

}  // namespace

std::string FormatByPattern(std::string_view pattern, DateTime value,
                            const RegionalSettings& settings, LocaleApi& locale) {
  PatternWriter writer(value, settings, locale);
  writer.Write(pattern, false);
  return std::move(writer).Text();
}

std::string DateTimeText(DateTime value, const RegionalSettings& settings, LocaleApi& locale) {
  return FormatByPattern("C", value, settings, locale);
}

}  // namespace runwarden
