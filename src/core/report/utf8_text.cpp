#include "core/report/utf8_text.h"

#include <vector>

#include "core/report/task_summary.h"
#include "platform/code_page.h"

namespace runwarden {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Bytes of the valid UTF-8 sequence at the start of text; 0 where none starts there.
std::size_t ValidSequenceLength(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong form
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    return 0;
  }
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  return length;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size());
  while (!text.empty()) {
    const std::size_t length = ValidSequenceLength(text);
    if (length == 0) {
      valid += kReplacement;
      text.remove_prefix(1);
    } else {
      valid += text.substr(0, length);
      text.remove_prefix(length);
    }
  }
  return valid;
}

Utf8Texts::Utf8Texts(WideText& wideText)
    : wideText_(wideText), ansiIsUtf8_(wideText.AnsiCodePage() == kUtf8CodePage) {}

std::string Utf8Texts::FromAnsi(std::string_view text) {
  if (ansiIsUtf8_ || text.empty()) return std::string(text);
  // A byte of the code page gives at most one UTF-16 unit.
  std::vector<char16_t> units(text.size());
  const int unitCount =
      wideText_.MultiByteToWideChar(kAnsiCodePage, 0, text.data(), static_cast<int>(text.size()),
                                    units.data(), static_cast<int>(units.size()));
  if (unitCount <= 0) return ValidUtf8(text);
  return FromWide({units.data(), static_cast<std::size_t>(unitCount)});
}

std::string Utf8Texts::FromWide(std::u16string_view text) {
  return wideText_.Narrow(kUtf8CodePage, text);
}

CheckReport Utf8Report(const CheckReport& report, Utf8Texts& texts) {
  CheckReport utf8 = report;
  utf8.TaskName = report.WideTaskName.empty() || texts.AnsiIsUtf8()
                      ? texts.FromAnsi(report.TaskName)
                      : texts.FromWide(report.WideTaskName);
  utf8.LastRunText = texts.FromAnsi(report.LastRunText);
  if (utf8.LogLines) {
    for (std::string& line : *utf8.LogLines) line = ValidUtf8(line);  // already UTF-8
  }
  for (CheckReport& task : utf8.Tasks) task = Utf8Report(task, texts);
  // A pattern's summary of the tasks' UTF-8 names: their names in the code page may have
  // lost characters that it does not hold.
  utf8.Text = report.TextIsSummary ? SummaryText(utf8.Tasks) : texts.FromAnsi(report.Text);
  return utf8;
}

CheckFacts Utf8Facts(const CheckFacts& facts, Utf8Texts& texts) {
  CheckFacts utf8 = facts;
  utf8.TaskName = texts.FromAnsi(facts.TaskName);
  utf8.Host = texts.FromAnsi(facts.Host);
  utf8.TimeFrame = texts.FromAnsi(facts.TimeFrame);
  return utf8;
}

}  // namespace runwarden
