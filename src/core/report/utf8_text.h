#pragma once
// UTF-8, the text of the forms that monitoring engines read: the system's code page and the
// scheduler's UTF-16 converted through the platform, and invalid bytes made harmless.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/report/check_report.h"
#include "platform/wide_text.h"

namespace runwarden {

// The text with each byte that starts no valid UTF-8 sequence (a stray continuation, an
// overlong form, a surrogate, a code beyond U+10FFFF, a cut sequence) replaced by U+FFFD.
std::string ValidUtf8(std::string_view text);

// Conversions to UTF-8; the system's code page is asked for once.
class Utf8Texts {
 public:
  explicit Utf8Texts(WideText& wideText);
  // A text of the system's code page: unchanged where that is UTF-8 already, else
  // converted through UTF-16; ValidUtf8 of it when the conversion fails.
  std::string FromAnsi(std::string_view text);
  std::string FromWide(std::u16string_view text);
  bool AnsiIsUtf8() const { return ansiIsUtf8_; }

 private:
  WideText& wideText_;
  bool ansiIsUtf8_;
};

// The report with every text in UTF-8: a pattern's task names from their UTF-16 where the
// code page is not UTF-8 (their narrow name is that UTF-8 otherwise), and its summary made
// again of those names.
CheckReport Utf8Report(const CheckReport& report, Utf8Texts& texts);
CheckFacts Utf8Facts(const CheckFacts& facts, Utf8Texts& texts);

}  // namespace runwarden
