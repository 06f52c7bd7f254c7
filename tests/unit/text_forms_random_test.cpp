// Random patterns, settings, locale answers and values: the engine's text never exceeds
// its limit, and (under the sanitizers) nothing is read or written out of bounds.
#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <cstring>
#include <random>
#include <string>

#include "core/calendar/text_forms.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

class Random {
 public:
  explicit Random(std::uint32_t seed) : engine_(seed) {}

  std::size_t Below(std::size_t limit) {
    return std::uniform_int_distribution<std::size_t>(0, limit - 1)(engine_);
  }
  bool OneIn(std::size_t n) { return Below(n) == 0; }
  char Byte() { return static_cast<char>(Below(256)); }

  // Mostly the letters and signs that mean something to the engine, whole markers among
  // them; otherwise any byte.
  std::string Text(std::size_t maxLength) {
    static const std::string_view kMeaningful = "dDmMyYhHnNsSzZtTcCaAgGeE/:'\" .";
    static const std::string_view kMarkers[] = {"am/pm", "A/P", "ampm", "AAAA", "aaa"};
    std::string text;
    const std::size_t length = OneIn(8) ? Below(maxLength + 1) : Below(24);
    while (text.size() < length) {
      if (OneIn(12)) text += kMarkers[Below(std::size(kMarkers))];
      else if (OneIn(3)) text += Byte();
      else text += kMeaningful[Below(kMeaningful.size())];
    }
    return text;
  }

  DateTime Value() {
    switch (Below(4)) {
      case 0:  // any bit pattern: NaNs, infinities, subnormals
        return std::bit_cast<double>(std::uniform_int_distribution<std::uint64_t>()(engine_));
      case 1: {
        constexpr double kInfinity = std::numeric_limits<double>::infinity();
        constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
        static const double kEdges[] = {0.0,       -0.5,  -1.25,  -693593.0, -693594.0,
                                        2958465.99999, 2958466.0, 1e300, -1e300,
                                        kInfinity, -kInfinity, kNaN};
        return kEdges[Below(std::size(kEdges))];
      }
      default: return std::uniform_real_distribution<double>(-700000.0, 3000000.0)(engine_);
    }
  }

  LeadByteSet LeadBytes() {
    LeadByteSet set;
    switch (Below(4)) {
      case 0: return set;
      case 1: return set.set();  // every byte leads
      default:
        for (std::size_t i = Below(40); i > 0; --i) set.set(Below(256));
        return set;
    }
  }

  std::mt19937 engine_;
};

// Era answers of any length; sometimes a platform that breaks its contract and reports
// more than the room it was given, without a terminator.
class RandomEraApi final : public LocaleApi {
 public:
  explicit RandomEraApi(Random& random) : random_(random) {}
  LocaleId GetThreadLocale() override { return 0; }
  int GetLocaleInfoA(LocaleId, LocaleType, char*, int) override { return 0; }
  bool GetCPInfo(std::uint32_t, CodePageInfo*) override { return false; }
  int GetDateFormatA(LocaleId, std::uint32_t, const SystemTime*, const char*, char* buffer,
                     int size) override {
    if (random_.OneIn(3)) return 0;
    if (random_.OneIn(5)) {
      std::memset(buffer, 'x', static_cast<std::size_t>(size));
      return size + 10;
    }
    const std::string text = random_.Text(300);
    if (static_cast<int>(text.size()) + 1 > size) return 0;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size()) + 1;
  }

 private:
  Random& random_;
};

RegionalSettings RandomSettings(Random& random) {
  RegionalSettings settings;
  for (std::string* text : {&settings.ShortDatePattern, &settings.LongDatePattern,
                            &settings.LongTimePattern, &settings.ShortTimePattern,
                            &settings.AmText, &settings.PmText}) {
    *text = random.Text(400);
  }
  for (auto& name : settings.MonthNames) name = random.Text(300);
  for (auto& name : settings.MonthAbbreviations) name = random.Text(300);
  for (auto& name : settings.DayNames) name = random.Text(300);
  for (auto& name : settings.DayAbbreviations) name = random.Text(300);
  settings.DateDelimiter = random.Byte();
  settings.TimeDelimiter = random.Byte();
  settings.LeadBytes = random.LeadBytes();
  const std::uint16_t languages[] = {0, kLanguageChinese, kLanguageJapanese, kLanguageKorean, 9};
  settings.PrimaryLanguage = languages[random.Below(std::size(languages))];
  settings.SubLanguage = static_cast<std::uint16_t>(random.Below(3));
  return settings;
}

TEST(FormatByPatternRandom, NeverLongerThan256Bytes) {
  Random random(20261206);
  for (int round = 0; round < 10000; ++round) {
    const RegionalSettings settings = RandomSettings(random);
    RandomEraApi locale(random);
    for (int i = 0; i < 10; ++i) {
      const std::string pattern = random.Text(600);
      const DateTime value = random.Value();
      const std::string text = FormatByPattern(pattern, value, settings, locale);
      ASSERT_LE(text.size(), kMaxPatternTextLength) << "round " << round << " pattern " << pattern;
      ASSERT_LE(DateTimeText(value, settings, locale).size(), kMaxPatternTextLength);
    }
  }
}

// Locale answers of any content; sometimes a platform that breaks its contract and reports
// more than the room it was given, without a terminator. No text read is longer than the
// room of one query.
class RandomLocaleApi final : public LocaleApi {
 public:
  explicit RandomLocaleApi(Random& random) : random_(random) {}
  LocaleId GetThreadLocale() override { return static_cast<LocaleId>(random_.Below(0x20000)); }
  int GetLocaleInfoA(LocaleId, LocaleType, char* buffer, int size) override {
    if (random_.OneIn(4)) return 0;
    if (random_.OneIn(5)) {
      std::memset(buffer, 'x', static_cast<std::size_t>(size));
      return size + 10;
    }
    const std::string text = random_.OneIn(2) ? std::to_string(random_.Below(7)) : random_.Text(300);
    if (static_cast<int>(text.size()) + 1 > size) return 0;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size()) + 1;
  }
  bool GetCPInfo(std::uint32_t, CodePageInfo* info) override {
    info->MaxCharSize = 2;
    for (auto& byte : info->LeadByte) byte = static_cast<std::uint8_t>(random_.Byte());
    return !random_.OneIn(3);
  }
  int GetDateFormatA(LocaleId, std::uint32_t, const SystemTime*, const char*, char*, int) override {
    return 0;
  }

 private:
  Random& random_;
};

TEST(ReadRegionalSettingsRandom, NoTextLongerThanTheRoomOfAQuery) {
  constexpr std::size_t kRoom = 256;
  Random random(4242);
  for (int round = 0; round < 2000; ++round) {
    RandomLocaleApi locale(random);
    const RegionalSettings settings = ReadRegionalSettings(locale);
    for (const std::string* text : {&settings.AmText, &settings.PmText, &settings.LongTimePattern,
                                    &settings.ShortTimePattern}) {
      ASSERT_LE(text->size(), kRoom) << "round " << round;
    }
    // The era rewrite may lengthen a date pattern: gg becomes ggg.
    for (const std::string* text : {&settings.ShortDatePattern, &settings.LongDatePattern}) {
      ASSERT_LE(text->size(), kRoom * 3 / 2) << "round " << round;
    }
    for (const auto* names : {&settings.MonthNames, &settings.MonthAbbreviations}) {
      for (const std::string& name : *names) ASSERT_LE(name.size(), kRoom) << "round " << round;
    }
    for (const auto* names : {&settings.DayNames, &settings.DayAbbreviations}) {
      for (const std::string& name : *names) ASSERT_LE(name.size(), kRoom) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace runwarden
