#include "core/check/split_command_line.h"

#include <gtest/gtest.h>

namespace runwarden {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, SingleByteCodePage) {
  const struct {
    std::string text;
    Arguments expected;
    const char* reason;
  } cases[] = {
      {"", {}, "empty text"},
      {"prog", {"prog"}, "the program name is the first item"},
      {"prog -task:a -timeframe:60", {"prog", "-task:a", "-timeframe:60"}, "blanks separate"},
      {"  prog\t-task:a\r\n-x\x01y  ", {"prog", "-task:a", "-x", "y"}, "bytes 1 to 32 separate"},
      {"prog -task:\"Daily Backup\"", {"prog", "-task:Daily Backup"}, "quoted blank kept"},
      {"\"C:\\Program Files\\rw.exe\" -h", {"C:\\Program Files\\rw.exe", "-h"}, "quoted name"},
      {"prog \"-task:a b\"c\" d\"", {"prog", "-task:a bc d"}, "stretches inside one argument"},
      {"prog \"-task:open end", {"prog", "-task:open end"}, "an unclosed stretch runs to the end"},
      {"prog \"\" -task:a", {"prog", "-task:a"}, "an argument of two quotes is skipped"},
      {"prog \"\"\"\" \"\"", {"prog"}, "pairs of quotes alone are no arguments"},
      {"prog \"\"-task:a", {"prog", "-task:a"}, "two quotes at the start are dropped"},
      {"prog -task:\"\"", {"prog", "-task:"}, "two quotes later in the argument are dropped"},
      {"prog \"\"\"a b\"", {"prog", "a b"}, "a pair, then a quoted stretch"},
      {"prog \" \"", {"prog", " "}, "a quoted blank is an argument"},
      {"prog \"", {"prog", ""}, "a lone quote at the end gives an empty argument"},
      {"prog a\"\"b", {"prog", "ab"}, "an empty stretch inside"},
      {std::string("prog a\0b c", 10), {"prog", "a"}, "the text ends at a zero byte"},
      {"prog \xE4\xF6", {"prog", "\xE4\xF6"}, "bytes above 127 belong to arguments"},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.text, {}), c.expected) << c.reason;
}

TEST(SplitCommandLine, LeadAndTrailByteCountAsOneCharacter) {
  SystemLeadBytes leadBytes;
  leadBytes.bytes.set(0x81);
  const struct {
    std::string text;
    Arguments expected;
    const char* reason;
  } cases[] = {
      {"p \"a\x81\" b\"", {"p", "a\x81\" b"}, "a trail quote does not close a stretch"},
      {"p a\x81\"b c", {"p", "a\x81\"b", "c"}, "a trail quote does not open a stretch"},
      {"p a\x81", {"p", "a\x81"}, "a lead byte at the very end stays"},
      {"p \"x\x81", {"p", "x\x81"}, "a lead byte at the end of an open stretch"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.text, leadBytes), c.expected) << c.reason;
  }
  EXPECT_EQ(SplitCommandLine("p a\x81\"b c", {}), (Arguments{"p", "a\x81" "b c"}))
      << "without lead bytes the quote opens a stretch";
}

}  // namespace
}  // namespace runwarden
