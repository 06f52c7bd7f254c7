#include "core/check/exit_code_list.h"

#include <gtest/gtest.h>

namespace runwarden {
namespace {

using List = std::vector<ExitCodeRange>;

TEST(ParseExitCodeList, NumbersRangesAndTheirEdges) {
  const struct {
    const char* text;
    std::optional<List> list;  // none: not a valid list
    const char* reason;
  } cases[] = {
      {"5", List{{5, 5}}, "one number"},
      {"0", List{{0, 0}}, "0 may be listed"},
      {"5,8,0x8004131F", List{{5, 5}, {8, 8}, {0x8004131F, 0x8004131F}}, "numbers and hexadecimal"},
      {"3-7", List{{3, 7}}, "an inclusive range"},
      {"7-7", List{{7, 7}}, "a range of one"},
      {"x1f,X1F,$1f,0X1f", List{{31, 31}, {31, 31}, {31, 31}, {31, 31}}, "every hex prefix, any case"},
      {"0x10-0x1F", List{{16, 31}}, "hexadecimal bounds"},
      {"007,0x0000000005", List{{7, 7}, {5, 5}}, "leading zeros"},
      {"4294967295", List{{0xFFFFFFFF, 0xFFFFFFFF}}, "the largest code"},
      {"0xFFFFFFFF", List{{0xFFFFFFFF, 0xFFFFFFFF}}, "the largest code in hexadecimal"},
      {" 5 , 3 - 4\t", List{{5, 5}, {3, 4}}, "blanks around items and bounds"},
      {"", std::nullopt, "an empty list"},
      {" ", std::nullopt, "blanks only"},
      {"5,", std::nullopt, "an empty last item"},
      {",5", std::nullopt, "an empty first item"},
      {"5,,8", std::nullopt, "an empty item between"},
      {"-", std::nullopt, "a dash alone"},
      {"-5", std::nullopt, "no sign: a range without its start"},
      {"5-", std::nullopt, "a range without its end"},
      {"+5", std::nullopt, "no plus sign"},
      {"5-3", std::nullopt, "a range that runs backwards"},
      {"1-2-3", std::nullopt, "two dashes"},
      {"0x", std::nullopt, "a prefix without digits"},
      {"$", std::nullopt, "a dollar without digits"},
      {"0x0x5", std::nullopt, "two prefixes"},
      {"4294967296", std::nullopt, "one past the largest code"},
      {"0x100000000", std::nullopt, "one past the largest code in hexadecimal"},
      {"5a", std::nullopt, "a letter after decimal digits"},
      {"0xG", std::nullopt, "no hexadecimal digit"},
      {"1 0", std::nullopt, "a blank inside a number"},
      {"five", std::nullopt, "a word"},
      {"5;8", std::nullopt, "another separator"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseExitCodeList(c.text), c.list) << c.reason << ": \"" << c.text << "\"";
  }
}

TEST(IsListedExitCode, InsideAnyRangeBoundsIncluded) {
  const List list{{5, 5}, {10, 20}, {0xFFFFFFF0, 0xFFFFFFFF}};
  const struct {
    std::uint32_t code;
    bool listed;
  } cases[] = {{5, true},   {4, false},          {6, false},         {10, true},
               {20, true},  {21, false},         {9, false},         {0xFFFFFFFF, true},
               {0, false},  {0xFFFFFFEF, false}};
  for (const auto& c : cases) EXPECT_EQ(IsListedExitCode(list, c.code), c.listed) << c.code;
  EXPECT_FALSE(IsListedExitCode({}, 0));
}

}  // namespace
}  // namespace runwarden
