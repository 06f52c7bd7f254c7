// Reads the regional settings of this process and writes texts of fixed values with them,
// so that two builds can be compared byte for byte.
//
//   runwarden_locale_probe OUT            settings from the real platform
//   runwarden_locale_probe OUT ANSWERS    settings from the locale answers in ANSWERS, a
//                                         file written by an earlier run (on any OS)
//
// OUT gets one record per line, texts quoted with every byte outside printable ASCII (and
// the quote and backslash) written as \xHH:
//   answer ...   every locale query made and what it gave
//   setting ...  the regional settings read
//   text ...     the label of a value, a pattern and the text the engine made of them
// Replaying the answers of a run must give the same file again.
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/calendar/text_forms.h"
#include "platform/platform.h"

namespace runwarden {
namespace {

std::string Quoted(std::string_view bytes) {
  std::string quoted = "\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && c != '"' && c != '\\') {
      quoted += c;
    } else {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02X", byte);
      quoted += escape;
    }
  }
  return quoted + "\"";
}

std::string Unquoted(std::string_view quoted) {
  std::string bytes;
  for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
    if (quoted[i] == '\\' && i + 3 < quoted.size()) {
      bytes += static_cast<char>(std::stoi(std::string(quoted.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      bytes += quoted[i];
    }
  }
  return bytes;
}

std::string Hex(std::uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
  return text;
}

std::string DateKey(const SystemTime& date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u/%u", date.wYear, date.wMonth, date.wDay,
                date.wDayOfWeek);
  return text;
}

// The text a query stored, up to its terminator; empty when the query failed.
std::string Stored(const char* buffer, int result, int size) {
  if (result <= 0) return {};
  const std::string_view room(buffer, static_cast<std::size_t>(std::min(result, size)));
  return std::string(room.substr(0, room.find('\0')));
}

// Answers each query from another LocaleApi and keeps a line for each one, by key.
class RecordingLocaleApi final : public LocaleApi {
 public:
  explicit RecordingLocaleApi(LocaleApi& source) : source_(source) {}
  const std::map<std::string, std::string>& Answers() const { return answers_; }

  LocaleId GetThreadLocale() override {
    const LocaleId locale = source_.GetThreadLocale();
    answers_["thread-locale"] = Hex(locale);
    return locale;
  }

  int GetLocaleInfoA(LocaleId locale, LocaleType type, char* buffer, int size) override {
    const int result = source_.GetLocaleInfoA(locale, type, buffer, size);
    answers_["locale-info " + Hex(type) + " " + std::to_string(size)] =
        std::to_string(result) + " " + Quoted(Stored(buffer, result, size));
    return result;
  }

  bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) override {
    const bool known = source_.GetCPInfo(codePage, info);
    std::string answer = known ? "1 " + std::to_string(info->MaxCharSize) : "0 0";
    for (const std::uint8_t byte : info->LeadByte) answer += " " + Hex(known ? byte : 0);
    answers_["cp-info " + std::to_string(codePage)] = answer;
    return known;
  }

  int GetDateFormatA(LocaleId locale, std::uint32_t flags, const SystemTime* date,
                     const char* format, char* buffer, int size) override {
    const int result = source_.GetDateFormatA(locale, flags, date, format, buffer, size);
    answers_["date-format " + Hex(flags) + " " + DateKey(*date) + " " + Quoted(format) + " " +
             std::to_string(size)] = std::to_string(result) + " " +
                                     Quoted(Stored(buffer, result, size));
    return result;
  }

 private:
  LocaleApi& source_;
  std::map<std::string, std::string> answers_;
};

// The answers of an earlier run; a query it did not make fails.
class ReplayedLocaleApi final : public LocaleApi {
 public:
  explicit ReplayedLocaleApi(std::istream& in) {
    std::string line;
    while (std::getline(in, line)) {
      if (line.rfind("answer ", 0) != 0) continue;
      // "answer KEY... = ANSWER"
      const std::size_t equals = line.find(" = ");
      if (equals == std::string::npos) continue;
      answers_[line.substr(7, equals - 7)] = line.substr(equals + 3);
    }
  }

  LocaleId GetThreadLocale() override {
    const auto found = answers_.find("thread-locale");
    if (found == answers_.end()) return 0;
    return static_cast<LocaleId>(std::stoul(found->second, nullptr, 16));
  }

  int GetLocaleInfoA(LocaleId, LocaleType type, char* buffer, int size) override {
    return Replay("locale-info " + Hex(type) + " " + std::to_string(size), buffer, size);
  }

  bool GetCPInfo(std::uint32_t codePage, CodePageInfo* info) override {
    const auto found = answers_.find("cp-info " + std::to_string(codePage));
    if (found == answers_.end()) return false;
    std::istringstream fields(found->second);
    int known = 0;
    fields >> known >> info->MaxCharSize;
    for (std::uint8_t& byte : info->LeadByte) {
      std::string hex;
      fields >> hex;
      byte = static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16));
    }
    return known != 0;
  }

  int GetDateFormatA(LocaleId, std::uint32_t flags, const SystemTime* date, const char* format,
                     char* buffer, int size) override {
    return Replay("date-format " + Hex(flags) + " " + DateKey(*date) + " " + Quoted(format) + " " +
                      std::to_string(size),
                  buffer, size);
  }

 private:
  int Replay(const std::string& key, char* buffer, int size) {
    const auto found = answers_.find(key);
    if (found == answers_.end()) return 0;
    const std::size_t blank = found->second.find(' ');
    const int result = std::stoi(found->second.substr(0, blank));
    const std::string text = Unquoted(found->second.substr(blank + 1));
    if (result > 0 && static_cast<int>(text.size()) < size) {
      std::copy(text.begin(), text.end(), buffer);
      buffer[text.size()] = '\0';
    }
    return result;
  }

  std::map<std::string, std::string> answers_;
};

struct Value {
  const char* label;
  DateTime value;
};

DateTime At(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
            std::uint16_t minute = 0, std::uint16_t second = 0, std::uint16_t millisecond = 0) {
  const DateTime date = DateFromParts(year, month, day);
  const DateTime time = TimeFromParts(hour, minute, second, millisecond);
  return date >= 0 ? date + time : date - time;
}

std::vector<Value> Values() {
  return {
      {"2026-12-06T15:04:05.250", At(2026, 12, 6, 15, 4, 5, 250)},
      {"2026-12-06T00:00:00.000", At(2026, 12, 6)},
      {"2026-12-06T00:00:00.400", At(2026, 12, 6, 0, 0, 0, 400)},
      {"2026-12-06T00:00:01", At(2026, 12, 6, 0, 0, 1)},
      {"2026-12-06T12:30:00", At(2026, 12, 6, 12, 30, 0)},
      {"2019-04-30T09:05:07", At(2019, 4, 30, 9, 5, 7)},
      {"2019-05-01T21:00:00", At(2019, 5, 1, 21, 0, 0)},
      {"1989-01-07T11:00:00", At(1989, 1, 7, 11, 0, 0)},
      {"1989-01-08T23:59:59", At(1989, 1, 8, 23, 59, 59)},
      {"1899-12-29T06:00:00", -1.25},
      {"0001-01-01T00:00:00", At(1, 1, 1)},
      {"9999-12-31T23:59:59.999", At(9999, 12, 31, 23, 59, 59, 999)},
      {"no-date", std::numeric_limits<double>::quiet_NaN()},
  };
}

const char* const kPatterns[] = {
    "ddddd",  "dddddd", "t", "tt", "dddd, d. mmmm yyyy", "ddd mmm yy", "am/pm a/p ampm aaaa aaa",
    "h:nn:ss.zzz", "g gg ggg|e ee eee", "'quoted' \"double\" x", "yyyy/mm/dd hh:nn", "c",
};

void WriteSettings(std::ostream& out, const RegionalSettings& s) {
  const auto text = [&](const char* name, std::string_view value) {
    out << "setting " << name << " " << Quoted(value) << "\n";
  };
  text("ShortDatePattern", s.ShortDatePattern);
  text("LongDatePattern", s.LongDatePattern);
  text("LongTimePattern", s.LongTimePattern);
  text("ShortTimePattern", s.ShortTimePattern);
  text("DateDelimiter", std::string(1, s.DateDelimiter));
  text("TimeDelimiter", std::string(1, s.TimeDelimiter));
  text("AmText", s.AmText);
  text("PmText", s.PmText);
  for (std::size_t i = 0; i < 12; ++i) {
    text(("MonthAbbreviations" + std::to_string(i + 1)).c_str(), s.MonthAbbreviations[i]);
    text(("MonthNames" + std::to_string(i + 1)).c_str(), s.MonthNames[i]);
  }
  for (std::size_t i = 0; i < 7; ++i) {
    text(("DayAbbreviations" + std::to_string(i + 1)).c_str(), s.DayAbbreviations[i]);
    text(("DayNames" + std::to_string(i + 1)).c_str(), s.DayNames[i]);
  }
  out << "setting LeadBytes";
  for (std::uint32_t byte = 0; byte < 256; ++byte) {
    if (s.LeadBytes.test(byte)) out << " " << Hex(byte);
  }
  out << "\nsetting Locale " << Hex(s.Locale) << " " << s.PrimaryLanguage << " " << s.SubLanguage
      << "\n";
}

int Probe(LocaleApi& source, const char* outPath) {
  RecordingLocaleApi locale(source);
  const RegionalSettings settings = ReadRegionalSettings(locale);
  std::ostringstream texts;
  for (const Value& value : Values()) {
    texts << "text " << value.label << " DateTimeText "
          << Quoted(DateTimeText(value.value, settings, locale)) << "\n";
    for (const char* pattern : kPatterns) {
      texts << "text " << value.label << " " << Quoted(pattern) << " "
            << Quoted(FormatByPattern(pattern, value.value, settings, locale)) << "\n";
    }
  }
  std::ofstream out(outPath, std::ios::binary);
  for (const auto& [key, answer] : locale.Answers()) {
    out << "answer " << key << " = " << answer << "\n";
  }
  WriteSettings(out, settings);
  out << texts.str();
  return out.good() ? 0 : 1;
}

}  // namespace
}  // namespace runwarden

int main(int argc, char** argv) {
  using namespace runwarden;
  if (argc == 2) return Probe(RealPlatform().locale, argv[1]);
  if (argc == 3) {
    std::ifstream answers(argv[2], std::ios::binary);
    if (!answers) return 2;
    ReplayedLocaleApi replayed(answers);
    return Probe(replayed, argv[1]);
  }
  std::fputs("usage: runwarden_locale_probe OUT [ANSWERS]\n", stderr);
  return 2;
}
