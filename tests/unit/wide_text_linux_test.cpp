#include "platform/linux/real_platform_linux.h"

#include <gtest/gtest.h>

#include <string>

namespace runwarden {
namespace {

TEST(Utf8FromUtf16, EncodesEveryPlaneAndReplacesLoneSurrogates) {
  const struct {
    std::u16string wide;
    std::string utf8, reason;
  } cases[] = {
      {u"backup.timer", "backup.timer", "ASCII"},
      {u"\u00e9t\u00e9", "\xC3\xA9t\xC3\xA9", "two-byte sequences"},
      {u"\u20ac", "\xE2\x82\xAC", "three-byte sequence"},
      {u"\U0001F600", "\xF0\x9F\x98\x80", "surrogate pair"},
      {std::u16string(1, char16_t{0xD800}) + u"x", "\xEF\xBF\xBDx", "lone high surrogate"},
      {std::u16string(1, char16_t{0xDC00}), "\xEF\xBF\xBD", "lone low surrogate"},
      {u"", "", "empty"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8FromUtf16(c.wide.c_str()), c.utf8) << c.reason;
}

}  // namespace
}  // namespace runwarden
