#include "core/calendar/text_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_platform.h"
#include "platform/linux/real_platform_linux.h"

namespace runwarden {
namespace {

TEST(SubstringPosition, FirstOccurrenceCountedFromOne) {
  const struct {
    std::string part, text;
    std::size_t expected;
  } cases[] = {
      {"-", "-task:x", 1}, {"-", "task-x", 5},  {"-", "", 0},
      {"", "-task:", 0},   {"-host:", "-task:a-host:b", 8},
      {"-HOST:", "-host:b", 0},  // case respected
      {"ab", "a", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(SubstringPosition(c.part, c.text), c.expected) << c.text;
}

TEST(AsciiLowerCase, OnlyAsciiLettersChange) {
  EXPECT_EQ(AsciiLowerCase("TODAY"), "today");
  EXPECT_EQ(AsciiLowerCase("Last_Week-1"), "last_week-1");
  EXPECT_EQ(AsciiLowerCase("\xC4"), "\xC4");          // Ä in a Western code page
  EXPECT_EQ(AsciiLowerCase("\xC3\x84"), "\xC3\x84");  // Ä in UTF-8
}

TEST(LocaleUpperCase, LinuxMapsAsciiLettersOnly) {
  LinuxCaseMapping upper;
  EXPECT_EQ(LocaleUpperCase(upper, "abc-XYZ:\xC3\xA4"), "ABC-XYZ:\xC3\xA4");  // UTF-8 kept whole
  EXPECT_EQ(LocaleUpperCase(upper, ""), "");
}

TEST(ReplaceAllIgnoringCase, SingleByteCodePage) {
  testing::FakePlatform fake;
  const struct {
    std::string text, pattern, replacement, expected;
  } cases[] = {
      {"-HOST:srv", "-host:", "", "srv"},
      {"-host:a-Host:b", "-host:", "", "ab"},
      {"abc", "-host:", "", "abc"},
      {"-task:-TASK:abc", "-task:", "", "abc"},
      {"aaa", "aa", "b", "ba"},                 // occurrences do not overlap
      {"xAx", "a", "aa", "xaax"},               // the replacement is not searched again
      {"MiXeD-host:Keep", "-HOST:", "", "MiXeDKeep"},  // the rest keeps its own case
      {"abc", "", "z", "abc"},                  // empty pattern replaces nothing
      {"", "a", "z", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceAllIgnoringCase(c.text, c.pattern, c.replacement, {}, fake), c.expected) << c.text;
  }
}

TEST(ReplaceAllIgnoringCase, NeverMatchesOnATrailByte) {
  testing::FakePlatform fake;
  SystemLeadBytes leadBytes;
  for (int b = 0x81; b <= 0x9F; ++b) leadBytes.bytes.set(static_cast<std::size_t>(b));
  // 0x83 0x41 is one double-byte character whose trail byte is "A".
  EXPECT_EQ(ReplaceAllIgnoringCase("\x83" "A-a", "a", "", leadBytes, fake), "\x83" "A-");
  // Without lead bytes the same trail byte matches.
  EXPECT_EQ(ReplaceAllIgnoringCase("\x83" "A-a", "a", "", {}, fake), "\x83-");
  // A lead byte at the very end has no trail byte and does not hide the search.
  EXPECT_EQ(ReplaceAllIgnoringCase("a\x83", "a", "", leadBytes, fake), "\x83");
}

}  // namespace
}  // namespace runwarden
