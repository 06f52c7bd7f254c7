#include "platform/linux/posix_time_locale_linux.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace runwarden {
namespace {

enum class Padding { Default, None, Spaces, Zeros };

// One piece of a strftime format: a run of literal bytes, or one conversion such as %d
// with its padding flag (field widths and the E and O modifiers are dropped).
struct FormatPiece {
  char conversion = 0;  // 0: a literal run
  Padding padding = Padding::Default;
  std::string literal;
};

bool IsConversion(const FormatPiece& piece) { return piece.conversion != 0; }

constexpr std::string_view kDateConversions = "aAbBdehmyY";
constexpr std::string_view kHourConversions = "HkIl";

bool IsFlag(char c) { return std::string_view("-_0^#").find(c) != std::string_view::npos; }

// The conversions that stand for a whole format of their own.
std::string_view CompositeFormat(char conversion, const PosixTimeLocale& locale) {
  switch (conversion) {
    case 'D': return "%m/%d/%y";
    case 'F': return "%Y-%m-%d";
    case 'R': return "%H:%M";
    case 'T': return "%H:%M:%S";
    case 'r':
      return locale.TwelveHourTimeFormat.empty() ? "%I:%M:%S %p"
                                                 : std::string_view(locale.TwelveHourTimeFormat);
    default: return {};
  }
}

// A strftime format as literal runs and conversions, with the composite conversions
// replaced by what they stand for; adjacent literal bytes form one run.
class FormatPieces {
 public:
  FormatPieces(std::string_view format, const PosixTimeLocale& locale) { Add(format, locale, 0); }

  const std::vector<FormatPiece>& All() const { return pieces_; }

  // The first conversion that is one of the given letters, or none.
  const FormatPiece* Find(std::string_view conversions) const {
    const auto found = FindConversion(conversions);
    return found == pieces_.end() ? nullptr : &*found;
  }

  // The literal text between the first of the given conversions and the next one: the
  // format's separator.
  std::optional<std::string> SeparatorAfter(std::string_view conversions) const {
    const auto first = FindConversion(conversions);
    if (first == pieces_.end() || first + 1 == pieces_.end()) return std::nullopt;
    if (IsConversion(first[1])) return std::string();
    if (first + 2 == pieces_.end()) return std::nullopt;
    return first[1].literal;
  }

 private:
  void Add(std::string_view format, const PosixTimeLocale& locale, int depth) {
    for (std::size_t i = 0; i < format.size();) {
      if (format[i] != '%') {
        AddLiteral(format.substr(i++, 1));
        continue;
      }
      std::size_t at = i + 1;
      Padding padding = Padding::Default;
      for (; at < format.size() && IsFlag(format[at]); ++at) {
        if (format[at] == '-') padding = Padding::None;
        if (format[at] == '_') padding = Padding::Spaces;
        if (format[at] == '0') padding = Padding::Zeros;
      }
      while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
      if (at < format.size() && (format[at] == 'E' || format[at] == 'O')) ++at;
      if (at >= format.size()) {  // a format that ends inside a conversion
        AddLiteral(format.substr(i));
        return;
      }
      const char conversion = format[at];
      i = at + 1;
      const std::string_view composite = CompositeFormat(conversion, locale);
      if (conversion == '%') {
        AddLiteral("%");
      } else if (conversion == 'n') {
        AddLiteral("\n");
      } else if (conversion == 't') {
        AddLiteral("\t");
      } else if (!composite.empty()) {
        if (depth < 2) Add(composite, locale, depth + 1);  // bounded: %r may name itself
      } else {
        pieces_.push_back({conversion, padding, {}});
      }
    }
  }

  std::vector<FormatPiece>::const_iterator FindConversion(std::string_view conversions) const {
    return std::find_if(pieces_.begin(), pieces_.end(), [&](const FormatPiece& piece) {
      return IsConversion(piece) && conversions.find(piece.conversion) != std::string_view::npos;
    });
  }

  void AddLiteral(std::string_view text) {
    if (pieces_.empty() || IsConversion(pieces_.back())) pieces_.emplace_back();
    pieces_.back().literal += text;
  }

  std::vector<FormatPiece> pieces_;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Literal text as the pattern engine copies it: letters, quotes and the time delimiter are
// quoted, and / stays the date delimiter element only where it is the locale's separator.
std::string PatternLiteral(std::string_view text, bool slashIsDelimiter) {
  std::string pattern;
  std::string quoted;
  const auto endQuote = [&] {
    if (!quoted.empty()) pattern += '\'' + quoted + '\'';
    quoted.clear();
  };
  for (const char c : text) {
    if (c == '\'') {
      endQuote();
      pattern += "\"'\"";
    } else if (IsAsciiLetter(c) || c == '"' || c == ':' || (c == '/' && !slashIsDelimiter)) {
      quoted += c;
    } else {
      endQuote();
      pattern += c;
    }
  }
  endQuote();
  return pattern;
}

std::string_view DateElement(const FormatPiece& piece) {
  const bool zeroPadded = piece.padding == Padding::Default || piece.padding == Padding::Zeros;
  switch (piece.conversion) {
    case 'd': return zeroPadded ? "dd" : "d";
    case 'e': return piece.padding == Padding::Zeros ? "dd" : "d";
    case 'm': return zeroPadded ? "MM" : "M";
    case 'y': return "yy";
    case 'Y': return "yyyy";
    case 'b':
    case 'h': return "MMM";
    case 'B': return "MMMM";
    case 'a': return "ddd";
    case 'A': return "dddd";
    default: return {};  // no date element of the pattern language matches
  }
}

// D_FMT in the pattern language, e.g. "%d.%m.%Y" as "dd.MM.yyyy".
std::string ShortDatePattern(const FormatPieces& format) {
  const bool slashIsDelimiter = format.SeparatorAfter(kDateConversions) == "/";
  std::string pattern;
  for (const FormatPiece& piece : format.All()) {
    if (!IsConversion(piece)) {
      pattern += PatternLiteral(piece.literal, slashIsDelimiter);
      continue;
    }
    const std::string_view element = DateElement(piece);
    if (element.empty()) continue;
    // Two elements of the same letter would otherwise join into one longer run.
    if (!pattern.empty() && pattern.back() == element[0]) pattern += "''";
    pattern += element;
  }
  return pattern;
}

// The clock kind ("0": 12-hour, "1": 24-hour) or the hour's leading zero ("1") of the
// format's hour conversion; nothing when it has none.
std::optional<std::string> ClockSetting(const FormatPieces& format, LocaleType type) {
  const FormatPiece* hour = format.Find(kHourConversions);
  if (hour == nullptr) return std::nullopt;
  const bool twentyFourHour = hour->conversion == 'H' || hour->conversion == 'k';
  if (type == kLocaleITime) return twentyFourHour ? "1" : "0";
  const bool zeroByDefault = hour->conversion == 'H' || hour->conversion == 'I';
  const bool leadingZero = hour->padding == Padding::Zeros ||
                           (zeroByDefault && hour->padding == Padding::Default);
  return leadingZero ? "1" : "0";
}

// "1" when the 12-hour marker comes before the hour, "0" when after it.
std::optional<std::string> MarkerPosition(const FormatPieces& format) {
  const FormatPiece* marker = format.Find("pP");
  const FormatPiece* hour = format.Find(kHourConversions);
  if (marker == nullptr || hour == nullptr) return std::nullopt;
  return marker < hour ? "1" : "0";
}

bool InRange(LocaleType type, LocaleType first, LocaleType count) {
  return type >= first && type < first + count;
}

}  // namespace

std::optional<std::string> PosixLocaleInfo(const PosixTimeLocale& locale, LocaleType type) {
  if (InRange(type, kLocaleSMonthName1, 12)) return locale.MonthNames[type - kLocaleSMonthName1];
  if (InRange(type, kLocaleSAbbrevMonthName1, 12)) {
    return locale.MonthAbbreviations[type - kLocaleSAbbrevMonthName1];
  }
  // The locale values count from Monday; POSIX day names start with Sunday.
  if (InRange(type, kLocaleSDayName1, 7)) return locale.DayNames[(type - kLocaleSDayName1 + 1) % 7];
  if (InRange(type, kLocaleSAbbrevDayName1, 7)) {
    return locale.DayAbbreviations[(type - kLocaleSAbbrevDayName1 + 1) % 7];
  }
  switch (type) {
    case kLocaleSShortDate: return ShortDatePattern(FormatPieces(locale.DateFormat, locale));
    case kLocaleSDate:
      return FormatPieces(locale.DateFormat, locale).SeparatorAfter(kDateConversions);
    case kLocaleSTime:
      return FormatPieces(locale.TimeFormat, locale).SeparatorAfter(kHourConversions);
    case kLocaleITime:
    case kLocaleITLZero: return ClockSetting(FormatPieces(locale.TimeFormat, locale), type);
    case kLocaleITimeMarkPosn: {
      const FormatPieces time(locale.TimeFormat, locale);
      return MarkerPosition(time.Find("pP") != nullptr
                                ? time
                                : FormatPieces(locale.TwelveHourTimeFormat, locale));
    }
    case kLocaleS1159: return locale.AmText;
    case kLocaleS2359: return locale.PmText;
    default: return std::nullopt;  // no POSIX source: the caller's default applies
  }
}

}  // namespace runwarden
