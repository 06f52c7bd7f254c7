#include "core/text_forms.h"

// Placeholder until the pattern engine lands: the default form, without locale reading.
namespace runwarden {

RegionalSettings ReadRegionalSettings(LocaleApi&) { return {}; }

std::string FormatByPattern(std::string_view, DateTime value, const RegionalSettings& settings,
                            LocaleApi& locale) {
  return DateTimeText(value, settings, locale);
}

std::string DateTimeText(DateTime value, const RegionalSettings&, LocaleApi&) {
  const DateParts date = SplitDate(value);
  const TimeParts time = SplitTime(value);
  std::string text = std::to_string(date.month) + "/" + std::to_string(date.day) + "/" +
                     std::to_string(date.year % 100 / 10) + std::to_string(date.year % 10);
  if (time.hour != 0 || time.minute != 0 || time.second != 0) {
    const int hour12 = time.hour % 12 == 0 ? 12 : time.hour % 12;
    text += " " + std::to_string(hour12) + ":" + std::to_string(time.minute / 10) +
            std::to_string(time.minute % 10) + ":" + std::to_string(time.second / 10) +
            std::to_string(time.second % 10) + (time.hour < 12 ? " am" : " pm");
  }
  return text;
}

}  // namespace runwarden
