// FormatByPattern with any pattern, regional settings, lead bytes, era texts and value:
// the text never exceeds 256 bytes, and the engine reads and writes only inside its
// inputs (the sanitizers watch).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "core/calendar/text_forms.h"
#include "fuzz_check.h"

using namespace runwarden;

namespace {

// Every era query gets the same answer, or fails when it is empty.
class EraTexts final : public LocaleApi {
 public:
  explicit EraTexts(std::string answer) : answer_(std::move(answer)) {}
  LocaleId GetThreadLocale() override { return 0; }
  int GetLocaleInfoA(LocaleId, LocaleType, char*, int) override { return 0; }
  bool GetCPInfo(std::uint32_t, CodePageInfo*) override { return false; }
  int GetDateFormatA(LocaleId, std::uint32_t, const SystemTime*, const char*, char* buffer,
                     int size) override {
    const int needed = static_cast<int>(answer_.size()) + 1;
    if (answer_.empty() || needed > size) return 0;
    std::memcpy(buffer, answer_.c_str(), answer_.size() + 1);
    return needed;
  }

 private:
  std::string answer_;
};

// Mostly a value inside the valid dates (and just outside them), sometimes NaN, an
// infinity or any finite double.
double SomeValue(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 5)) {
    case 0: return std::numeric_limits<double>::quiet_NaN();
    case 1: return std::numeric_limits<double>::infinity();
    case 2: return -std::numeric_limits<double>::infinity();
    case 3: return input.ConsumeFloatingPoint<double>();
    default: return input.ConsumeFloatingPointInRange(-693600.0, 2958470.0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  RegionalSettings settings;
  const auto first = input.ConsumeIntegral<std::uint8_t>();
  const auto last = input.ConsumeIntegral<std::uint8_t>();
  for (unsigned b = first; b <= last; ++b) settings.LeadBytes.set(b);
  settings.PrimaryLanguage = input.ConsumeIntegralInRange<std::uint16_t>(0, 0x3FF);
  settings.SubLanguage = input.ConsumeIntegralInRange<std::uint16_t>(0, 0x3F);
  settings.DateDelimiter = input.ConsumeIntegral<char>();
  settings.TimeDelimiter = input.ConsumeIntegral<char>();
  for (std::string* text : {&settings.ShortDatePattern, &settings.LongDatePattern,
                            &settings.LongTimePattern, &settings.ShortTimePattern,
                            &settings.AmText, &settings.PmText, &settings.MonthNames[11],
                            &settings.DayNames[0]}) {
    *text = input.ConsumeRandomLengthString(300);
  }
  EraTexts era(input.ConsumeRandomLengthString(300));
  const double value = SomeValue(input);
  const std::string pattern = input.ConsumeRemainingBytesAsString();

  FUZZ_CHECK(FormatByPattern(pattern, value, settings, era).size() <= kMaxPatternTextLength);
  FUZZ_CHECK(DateTimeText(value, settings, era).size() <= kMaxPatternTextLength);
  return 0;
}
