#include "core/tasks/task_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace runwarden {
namespace {

TEST(MatchesTaskPattern, WildcardsAndAsciiCase) {
  const struct {
    std::u16string pattern, name;
    bool matches;
  } cases[] = {
      {u"*", u"", true},           {u"*", u"Backup", true},
      {u"back*", u"BACKUP", true}, {u"Backup", u"backup", true},
      {u"rw-?", u"rw-a", true},    {u"rw-?", u"rw-ab", false},
      {u"rw-?", u"rw-", false},    {u"*.timer", u"rw-a.timer", true},
      {u"*.timer", u"rw-a.service", false},
      {u"a*b*c", u"axxbyybc", true},  // the last * takes the extra b
      {u"a*b", u"abba", false},    {u"*a*", u"bbb", false},
      {u"**x", u"x", true},        {u"\u00FC*", u"\u00DC", false},  // no case beyond ASCII
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesTaskPattern(c.pattern, c.name), c.matches)
        << std::string(c.pattern.begin(), c.pattern.end()) << " / "
        << std::string(c.name.begin(), c.name.end());
  }
}

TEST(IsTaskPattern, WildcardsOrATrailingBackslashOutsideADoubleByteCharacter) {
  SystemLeadBytes cp932;
  cp932.bytes.set(0x95);  // 表 is 95 5C: its trail byte is a backslash
  const struct {
    std::string text;
    bool pattern;
  } cases[] = {
      {"Backup", false},       {"\\Backup\\Nightly", false}, {"Back*", true},
      {"a?b", true},           {"\\Backup\\", true},         {"\\", true},
      {"\x95\x5C", false},     {"\x95\x5C\\", true},         {"x\x95", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsTaskPattern(c.text, cp932), c.pattern) << c.text;
}

TEST(SplitTaskPattern, FolderAndNamePattern) {
  const struct {
    std::u16string pattern, folder, names;
  } cases[] = {
      {u"rw-*", u"\\", u"rw-*"},           {u"\\rw-*", u"\\", u"rw-*"},
      {u"\\Backup\\", u"\\Backup", u"*"},  {u"\\", u"\\", u"*"},
      {u"\\A\\B\\x?", u"\\A\\B", u"x?"},   {u"A\\*", u"\\A", u"*"},
  };
  for (const auto& c : cases) {
    const TaskPattern split = SplitTaskPattern(c.pattern);
    EXPECT_EQ(split.folder, c.folder);
    EXPECT_EQ(split.names, c.names);
  }
}

TEST(SplitTaskPattern, AFolderPartEndingInTwoStarsIsATree) {
  const struct {
    std::u16string pattern, folder, names;
    bool tree;
  } cases[] = {
      {u"\\Company\\**", u"\\Company", u"*", true},
      {u"\\Company\\**\\", u"\\Company", u"*", true},
      {u"\\Company\\**\\*Nightly", u"\\Company", u"*Nightly", true},
      {u"Company\\**", u"\\Company", u"*", true},
      {u"\\**", u"\\", u"*", true},
      {u"\\**\\a?", u"\\", u"a?", true},
      {u"**", u"\\", u"**", false},             // no backslash: every task of the root
      {u"\\Company\\**x", u"\\Company", u"**x", false},
      {u"\\Company\\x**\\a", u"\\Company\\x**", u"a", false},
      {u"\\A\\**\\B\\*", u"\\A\\**\\B", u"*", false},  // ** inside: a folder's name
  };
  for (const auto& c : cases) {
    const TaskPattern split = SplitTaskPattern(c.pattern);
    const std::string text(c.pattern.begin(), c.pattern.end());
    EXPECT_EQ(split.folder, c.folder) << text;
    EXPECT_EQ(split.names, c.names) << text;
    EXPECT_EQ(split.tree, c.tree) << text;
  }
}

TEST(TaskNameBefore, ByNameInEitherCaseThenExactly) {
  std::vector<std::u16string> names = {u"b", u"B", u"a2", u"A1", u"\\X\\y", u"ab"};
  std::sort(names.begin(), names.end(), TaskNameBefore);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"\\X\\y", u"A1", u"a2", u"ab", u"B", u"b"}));
  EXPECT_TRUE(SameTaskName(u"Backup", u"BACKUP"));
  EXPECT_FALSE(SameTaskName(u"Backup", u"Backup2"));
}

}  // namespace
}  // namespace runwarden
