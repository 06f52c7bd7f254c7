// SplitCommandLine on any command-line text and lead-byte set: no argument is longer than
// the text, none holds a zero byte, the arguments together hold no more bytes than the
// text, and without lead bytes no argument keeps a double quote.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "core/check/split_command_line.h"
#include "fuzz_check.h"

using namespace runwarden;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  SystemLeadBytes leadBytes;
  if (input.ConsumeBool()) {
    const auto first = input.ConsumeIntegral<std::uint8_t>();
    const auto last = input.ConsumeIntegral<std::uint8_t>();
    for (unsigned b = first; b <= last; ++b) leadBytes.bytes.set(b);
  }
  const std::string text = input.ConsumeRemainingBytesAsString();
  std::size_t total = 0;
  for (const std::string& argument : SplitCommandLine(text, leadBytes)) {
    FUZZ_CHECK(!argument.empty() || text.find('"') != std::string::npos);
    FUZZ_CHECK(argument.find('\0') == std::string::npos);
    if (leadBytes.bytes.none()) FUZZ_CHECK(argument.find('"') == std::string::npos);
    total += argument.size();
  }
  FUZZ_CHECK(total <= text.size());
  return 0;
}
