#include "core/calendar/regional_settings.h"

#include <algorithm>

#include "core/calendar/integer_text.h"

namespace runwarden {
namespace {

constexpr int kTextRoom = 256;

// The three ways a locale value is read. Each answer is taken up to its terminator and
// never past the room the query was given.
class LocaleReader {
 public:
  LocaleReader(LocaleApi& api, LocaleId locale) : api_(api), locale_(locale) {}

  // The fallback only when the query fails; an empty locale text stays empty.
  std::string Text(LocaleType type, std::string_view fallback) {
    char buffer[kTextRoom];
    const int stored = api_.GetLocaleInfoA(locale_, type, buffer, kTextRoom);
    if (stored <= 0) return std::string(fallback);
    return std::string(buffer, std::find(buffer, buffer + std::min(stored, kTextRoom), '\0'));
  }

  // Room for one byte and its terminator, so a longer value fails and takes the fallback;
  // an empty locale text gives 0.
  char Character(LocaleType type, char fallback) {
    char buffer[2] = {};
    return api_.GetLocaleInfoA(locale_, type, buffer, 2) > 0 ? buffer[0] : fallback;
  }

  std::int32_t Number(LocaleType type, std::int32_t fallback) {
    return ParseIntegerOr(Text(type, DecimalText(fallback)), fallback);
  }

  // Month and day names: an empty text also takes the fallback.
  std::string Name(LocaleType type, const std::string& fallback) {
    std::string name = Text(type, fallback);
    return name.empty() ? fallback : name;
  }

 private:
  LocaleApi& api_;
  LocaleId locale_;
};

// The lead-byte ranges of a code page: pairs of first and last lead byte, ended by a pair
// of zeros.
LeadByteSet LeadBytesOf(const CodePageInfo& info) {
  LeadByteSet leadBytes;
  for (std::size_t i = 0; i + 1 < std::size(info.LeadByte); i += 2) {
    const unsigned first = info.LeadByte[i];
    const unsigned last = info.LeadByte[i + 1];
    if (first == 0 && last == 0) break;
    for (unsigned byte = first; byte <= last; ++byte) leadBytes.set(byte);
  }
  return leadBytes;
}

// The lead bytes of the locale's ANSI code page, else of the system's.
LeadByteSet ReadLocaleLeadBytes(LocaleApi& api, LocaleReader& reader) {
  const auto codePage = static_cast<std::uint32_t>(reader.Number(kLocaleIDefaultAnsiCodePage, 0));
  CodePageInfo info;
  if (api.GetCPInfo(codePage, &info)) return LeadBytesOf(info);
  info = {};
  if (codePage == kAnsiCodePage || !api.GetCPInfo(kAnsiCodePage, &info)) return {};
  return LeadBytesOf(info);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix) {
  return AsciiLowerCase(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

}  // namespace

std::string WithEraElements(std::string_view pattern, std::int32_t calendarType,
                            std::uint16_t primaryLanguage, const LeadByteSet& leadBytes) {
  const bool eraCalendar = calendarType >= 3 && calendarType <= 5;
  const bool dropsEraLetters = primaryLanguage == kLanguageChinese ||
                               primaryLanguage == kLanguageJapanese ||
                               primaryLanguage == kLanguageKorean;
  if (!eraCalendar && !dropsEraLetters) return std::string(pattern);
  std::string rewritten;
  for (std::size_t i = 0; i < pattern.size();) {
    const std::string_view rest = pattern.substr(i);
    if (IsLeadByte(leadBytes, rest[0])) {
      rewritten.append(rest.substr(0, 2));
      i += std::min<std::size_t>(2, rest.size());
    } else if (!eraCalendar) {
      if (rest[0] != 'g' && rest[0] != 'G') rewritten += rest[0];
      ++i;
    } else if (StartsWithIgnoringCase(rest, "gg")) {
      rewritten += "ggg";
      i += 2;
    } else if (StartsWithIgnoringCase(rest, "yyyy")) {
      rewritten += "eeee";
      i += 4;
    } else if (StartsWithIgnoringCase(rest, "yy")) {
      rewritten += "ee";
      i += 2;
    } else {
      rewritten += rest[0] == 'y' || rest[0] == 'Y' ? 'e' : rest[0];
      ++i;
    }
  }
  return rewritten;
}

RegionalSettings ReadRegionalSettings(LocaleApi& api) {
  RegionalSettings settings;
  settings.Locale = api.GetThreadLocale();
  const auto language = static_cast<std::uint16_t>(settings.Locale & 0xFFFF);
  settings.PrimaryLanguage = language & 0x3FF;
  settings.SubLanguage = language >> 10;
  LocaleReader reader(api, settings.Locale);

  settings.LeadBytes = ReadLocaleLeadBytes(api, reader);
  const std::int32_t calendarType = reader.Number(kLocaleICalendarType, 1);
  const auto eraPattern = [&](LocaleType type, std::string_view fallback) {
    return WithEraElements(reader.Text(type, fallback), calendarType, settings.PrimaryLanguage,
                           settings.LeadBytes);
  };
  settings.ShortDatePattern = eraPattern(kLocaleSShortDate, settings.ShortDatePattern);
  settings.LongDatePattern = eraPattern(kLocaleSLongDate, settings.LongDatePattern);
  settings.DateDelimiter = reader.Character(kLocaleSDate, settings.DateDelimiter);
  settings.TimeDelimiter = reader.Character(kLocaleSTime, settings.TimeDelimiter);
  settings.AmText = reader.Text(kLocaleS1159, settings.AmText);
  settings.PmText = reader.Text(kLocaleS2359, settings.PmText);

  for (std::size_t month = 0; month < 12; ++month) {
    const auto offset = static_cast<LocaleType>(month);
    settings.MonthAbbreviations[month] =
        reader.Name(kLocaleSAbbrevMonthName1 + offset, settings.MonthAbbreviations[month]);
    settings.MonthNames[month] =
        reader.Name(kLocaleSMonthName1 + offset, settings.MonthNames[month]);
  }
  // The locale counts from Monday (1) to Sunday (7); the settings start with Sunday.
  for (std::size_t day = 0; day < 7; ++day) {
    const auto offset = static_cast<LocaleType>((day + 6) % 7);
    settings.DayAbbreviations[day] =
        reader.Name(kLocaleSAbbrevDayName1 + offset, settings.DayAbbreviations[day]);
    settings.DayNames[day] = reader.Name(kLocaleSDayName1 + offset, settings.DayNames[day]);
  }

  // The time patterns are built from the clock settings: the hour element, then minutes
  // (and seconds), with the marker in front or behind on the 12-hour clock only.
  const std::string hour = reader.Number(kLocaleITLZero, 0) != 0 ? "hh" : "h";
  const bool twelveHour = reader.Number(kLocaleITime, 0) == 0;
  const bool markerInFront = twelveHour && reader.Number(kLocaleITimeMarkPosn, 0) != 0;
  const std::string front = markerInFront ? "AMPM " : "";
  const std::string back = twelveHour && !markerInFront ? " AMPM" : "";
  settings.LongTimePattern = front + hour + ":mm:ss" + back;
  settings.ShortTimePattern = front + hour + ":mm" + back;
  return settings;
}

SystemLeadBytes ReadSystemLeadBytes(LocaleApi& api) {
  CodePageInfo info;
  if (!api.GetCPInfo(kAnsiCodePage, &info)) return {};
  return {LeadBytesOf(info)};
}

}  // namespace runwarden
