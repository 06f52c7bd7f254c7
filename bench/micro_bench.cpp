// Time per call of the rules a check runs through once: the pattern engine, the option
// parser and the calendar operations. Inputs vary from call to call (a day, a month
// count, a set of arguments) so that no result can be folded away.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/check/command_line_options.h"
#include "core/calendar/date_time.h"
#include "core/calendar/text_forms.h"
#include "platform/platform.h"

using namespace runwarden;

namespace {

// The regional settings of a locale without alternative calendars: era queries fail.
class NoEraTexts final : public LocaleApi {
 public:
  LocaleId GetThreadLocale() override { return 0; }
  int GetLocaleInfoA(LocaleId, LocaleType, char*, int) override { return 0; }
  bool GetCPInfo(std::uint32_t, CodePageInfo*) override { return false; }
  int GetDateFormatA(LocaleId, std::uint32_t, const SystemTime*, const char*, char*, int) override {
    return 0;
  }
};

class FixedZone final : public TimeZone {
 public:
  bool GetStandardBias(std::int32_t* biasMinutes) override {
    *biasMinutes = -60;
    return true;
  }
};

// A value for iteration i: walks the days of 1900..2173 with a varying time of day.
DateTime ValueOf(std::int64_t i) {
  return static_cast<double>(i % 100'000) + static_cast<double>(i % 86'400) / 86'400.0;
}

void BM_FormatByPattern(benchmark::State& state, const char* pattern) {
  const RegionalSettings settings;
  NoEraTexts locale;
  state.SetLabel(FormatByPattern(pattern, ValueOf(46'000), settings, locale));
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(FormatByPattern(pattern, ValueOf(i++), settings, locale));
  }
}
// The result line's text, then the other kinds of element.
BENCHMARK_CAPTURE(BM_FormatByPattern, last_run_text, "C");
BENCHMARK_CAPTURE(BM_FormatByPattern, short_date, "ddddd");
BENCHMARK_CAPTURE(BM_FormatByPattern, names_and_quotes, "dddd, mmmm d, yyyy 'at' hh:nn:ss.zzz");
BENCHMARK_CAPTURE(BM_FormatByPattern, twelve_hour, "h:nn am/pm");

void BM_ParseCommandLine(benchmark::State& state, std::vector<std::string> arguments) {
  FixedZone zone;
  const SystemLeadBytes noLeadBytes;
  for (auto _ : state) {
    CheckSettings settings;
    ParseCommandLine(arguments, zone, RealPlatform().caseMapping, noLeadBytes, settings);
    benchmark::DoNotOptimize(settings);
  }
}
BENCHMARK_CAPTURE(BM_ParseCommandLine, task_and_timeframe,
                  std::vector<std::string>{"-task:backup", "-timeframe:today"});
BENCHMARK_CAPTURE(BM_ParseCommandLine, every_option,
                  std::vector<std::string>{"-task:Daily Backup", "-timeframe:120",
                                           "-host:\\\\backup01", "-user:OFFICE\\backup",
                                           "-pswd:secret", "-ignoreres", "-remotegmt:60"});

void BM_DateFromParts(benchmark::State& state) {
  std::uint32_t i = 0;
  for (auto _ : state) {
    ++i;
    benchmark::DoNotOptimize(DateFromParts(static_cast<std::uint16_t>(1 + i % 9999),
                                           static_cast<std::uint16_t>(1 + i % 12),
                                           static_cast<std::uint16_t>(1 + i % 28)));
  }
}
BENCHMARK(BM_DateFromParts);

void BM_SplitDate(benchmark::State& state) {
  std::int64_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(SplitDate(ValueOf(i++)));
}
BENCHMARK(BM_SplitDate);

void BM_SplitTime(benchmark::State& state) {
  std::int64_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(SplitTime(ValueOf(i++)));
}
BENCHMARK(BM_SplitTime);

void BM_WeekdayNumber(benchmark::State& state) {
  std::int64_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(WeekdayNumber(ValueOf(i++)));
}
BENCHMARK(BM_WeekdayNumber);

void BM_ShiftMonths(benchmark::State& state) {
  std::int64_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ShiftMonths(ValueOf(i), static_cast<std::int32_t>(i % 25) - 12));
    ++i;
  }
}
BENCHMARK(BM_ShiftMonths);

void BM_DateTimeFromSystemTime(benchmark::State& state) {
  std::uint32_t i = 0;
  for (auto _ : state) {
    ++i;
    const SystemTime record{static_cast<std::uint16_t>(1900 + i % 200),
                            static_cast<std::uint16_t>(1 + i % 12),
                            0,
                            static_cast<std::uint16_t>(1 + i % 28),
                            static_cast<std::uint16_t>(i % 24),
                            static_cast<std::uint16_t>(i % 60),
                            static_cast<std::uint16_t>(i % 59),
                            static_cast<std::uint16_t>(i % 1000)};
    benchmark::DoNotOptimize(DateTimeFromSystemTime(record));
  }
}
BENCHMARK(BM_DateTimeFromSystemTime);

}  // namespace
