// ReplaceAllIgnoringCase with any text, pattern, replacement and lead-byte set: the result
// is the text with some number of non-overlapping occurrences replaced, never more bytes
// dropped or added than that, and the text unchanged when the pattern cannot occur in it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "core/calendar/text_rules.h"
#include "platform/platform.h"
#include "fuzz_check.h"

using namespace runwarden;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  SystemLeadBytes leadBytes;
  const auto first = input.ConsumeIntegral<std::uint8_t>();
  const auto last = input.ConsumeIntegral<std::uint8_t>();
  for (unsigned b = first; b <= last; ++b) leadBytes.bytes.set(b);
  const std::string pattern = input.ConsumeRandomLengthString(16);
  const std::string replacement = input.ConsumeRandomLengthString(16);
  const std::string text = input.ConsumeRemainingBytesAsString();

  CaseMapping& caseMapping = RealPlatform().caseMapping;
  const std::string result =
      ReplaceAllIgnoringCase(text, pattern, replacement, leadBytes, caseMapping);
  if (pattern.empty() || LocaleUpperCase(caseMapping, text).find(LocaleUpperCase(
                             caseMapping, pattern)) == std::string::npos) {
    FUZZ_CHECK(result == text);
    return 0;
  }
  // result = text + k * (|replacement| - |pattern|) bytes for k replacements, k >= 0, and
  // k occurrences fit into the text without overlapping.
  const auto delta = static_cast<long>(result.size()) - static_cast<long>(text.size());
  const auto step = static_cast<long>(replacement.size()) - static_cast<long>(pattern.size());
  if (step == 0) {
    FUZZ_CHECK(delta == 0);
  } else {
    FUZZ_CHECK(delta % step == 0);
    const long replaced = delta / step;
    FUZZ_CHECK(replaced >= 0);
    FUZZ_CHECK(replaced * static_cast<long>(pattern.size()) <= static_cast<long>(text.size()));
  }
  return 0;
}
