#include "core/calendar/integer_text.h"

#include <gtest/gtest.h>

#include <string>

namespace runwarden {
namespace {

struct ParseCase {
  std::string text;
  std::int32_t value;
  std::size_t errorPosition;  // 0: success
  const char* why;
};

TEST(ParseInteger, ValueAndErrorPositionAsReadByTheRules) {
  const ParseCase cases[] = {
      {"60", 60, 0, "plain decimal"},
      {" 60", 60, 0, "leading blank skipped"},
      {"   60", 60, 0, "several leading blanks"},
      {"+60", 60, 0, "plus sign"},
      {"-60", -60, 0, "minus sign"},
      {"007", 7, 0, "leading zeros"},
      {"0", 0, 0, "a lone zero"},
      {"$3C", 60, 0, "dollar prefix"},
      {"x3c", 60, 0, "x prefix, lower-case digit"},
      {"X3c", 60, 0, "X prefix"},
      {"0x3C", 60, 0, "0x prefix"},
      {"0X3c", 60, 0, "0X prefix"},
      {"-$10", -16, 0, "negated hexadecimal"},
      {"-0x10", -16, 0, "a sign before 0x"},
      {"-$FFFFFFFF", 1, 0, "the pattern of -1, negated"},
      {"$FFFFFFFF", -1, 0, "all bits set reads as -1"},
      {"$80000000", INT32_MIN, 0, "top bit alone is the minimum"},
      {"-$80000000", INT32_MIN, 0, "negating the minimum wraps"},
      {"$000000001", 1, 0, "leading zeros do not count against eight digits"},
      {"2147483647", INT32_MAX, 0, "maximum"},
      {"-2147483648", INT32_MIN, 0, "minimum"},
      // Failures: the value is what was collected before the failure, unsigned.
      {"", 0, 1, "empty text"},
      {"60 ", 60, 3, "trailing blank"},
      {"1e3", 1, 2, "stops at the letter"},
      {"- 5", 0, 2, "no blank after the sign"},
      {"today", 0, 1, "a word"},
      {"abc", 0, 1, "no digits"},
      {"-60abc", 60, 4, "sign not applied to a failed parse"},
      {"-5x", 5, 3, "digits before a letter, without the sign"},
      {"\t60", 0, 1, "a tab is no blank"},
      {"-", 0, 2, "sign without digits ends too early"},
      {"+", 0, 2, "plus without digits ends too early"},
      {" ", 0, 2, "only a blank"},
      {"$", 0, 2, "prefix without digits"},
      {"0x", 0, 3, "0x without digits"},
      {"+0x", 0, 4, "a sign and 0x without digits"},
      {"$-10", 0, 2, "sign after the prefix"},
      {"x3cz", 60, 4, "hexadecimal stops at a non-digit"},
      {"$FFFFFFFFG", -1, 10, "hexadecimal magnitude kept as its 32-bit pattern"},
      {"$100000000", 0x10000000, 10, "ninth significant hexadecimal digit refused"},
      {"21474836470", INT32_MAX, 11, "decimal digit over the limit refused"},
      {"2147483650", 214748365, 10, "last digit refused because 214748365 is over the limit"},
      {"2147483648", INT32_MIN, 11, "one past the maximum wraps"},
      {"2147483649", -2147483647, 11, "two past the maximum wraps"},
      {"-2147483649", INT32_MAX, 12, "one below the minimum wraps"},
  };
  for (const ParseCase& c : cases) {
    const ParsedInteger parsed = ParseInteger(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << "\": " << c.why;
    EXPECT_EQ(parsed.errorPosition, c.errorPosition) << '"' << c.text << "\": " << c.why;
  }
}

TEST(ParseIntegerOr, FallbackForEveryFailure) {
  const struct {
    std::string text;
    std::int32_t expected;
  } cases[] = {
      {"+540", 540}, {"-300", -300}, {"780", 780},  {"", 9999},
      {"abc", 9999}, {"60 ", 9999},  {"-5x", 9999}, {"2147483648", 9999},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseIntegerOr(c.text, 9999), c.expected) << c.text;
}

TEST(HexText, UnsignedUpperCasePaddedNeverCut) {
  const struct {
    std::uint32_t value;
    int digits;
    const char* expected;
  } cases[] = {
      {static_cast<std::uint32_t>(-2147024891), 8, "80070005"},
      {static_cast<std::uint32_t>(-2147467259), 8, "80004005"},
      {255, 8, "000000FF"},
      {0, 8, "00000000"},
      {0, 0, "0"},
      {0xABCDEF12, 4, "ABCDEF12"},
      {0xA, 33, "A"},
      {0xA, -1, "A"},
      {0xA, 32, "0000000000000000000000000000000A"},
  };
  for (const auto& c : cases) EXPECT_EQ(HexText(c.value, c.digits), c.expected);
}

TEST(DecimalText, SignedThirtyTwoAndSixtyFourBit) {
  EXPECT_EQ(DecimalText(std::int32_t{-5}), "-5");
  EXPECT_EQ(DecimalText(std::int32_t{0}), "0");
  EXPECT_EQ(DecimalText(std::int32_t{INT32_MIN}), "-2147483648");
  EXPECT_EQ(DecimalText(static_cast<std::int64_t>(std::uint32_t{0xFFFFFFFF})), "4294967295");
  EXPECT_EQ(DecimalText(static_cast<std::int64_t>(std::uint32_t{0x80000000})), "2147483648");
}

}  // namespace
}  // namespace runwarden
