#include "platform/linux/unit_listing_linux.h"

#include <fnmatch.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace runwarden {
namespace {

// The manager matches with fnmatch(); whether it lets a backslash escape or not, the glob
// must match exactly the names that the check's pattern matches.
TEST(CaseFreeGlob, MatchesAsTheCheckDoesWhateverTheEscapeRule) {
  const struct {
    std::string pattern, name;
    bool matches;
    std::string reason;
  } cases[] = {
      {"rw-*", "rw-a.service", true, "a run of any characters"},
      {"RW-*.Timer", "rw-a.timer", true, "letters in either case"},
      {"rw-?.service", "rw-ab.service", false, "? is one character"},
      {"rw-?.service", "rw-b.service", true, "? is one character"},
      {"*", "x.timer", true, "everything"},
      {"rw-[ab]*", "rw-a.service", false, "[ is no set"},
      {"rw-[ab]*", "rw-[ab]x.service", true, "[ is itself"},
      {"a\\x2d*", "a\\x2db.service", true, "a backslash of an escaped unit name is itself"},
      {"a\\x2d*", "ax2db.service", false, "a backslash escapes nothing"},
      {"db@*", "db@main.service", true, "@ is plain"},
      {"!x*", "!xy.service", true, "! is plain outside a set"},
      {"x]*", "x].service", true, "] is plain outside a set"},
      {"rw-a", "rw-a.service", false, "whole names: no suffix is added"},
  };
  for (const auto& c : cases) {
    const std::string glob = CaseFreeGlob(c.pattern);
    for (const int flags : {0, FNM_NOESCAPE}) {
      EXPECT_EQ(fnmatch(glob.c_str(), c.name.c_str(), flags) == 0, c.matches)
          << c.reason << ": " << glob << " flags " << flags;
    }
  }
}

TEST(TaskUnitsOf, ServicesAndTimersEachOnceNoTemplatesNothingUnfound) {
  const std::vector<ListedUnit> loaded = {
      {"rw-b.service", "loaded"},  {"rw-a.timer", "loaded"},     {"rw-gone.service", "not-found"},
      {"rw-x.socket", "loaded"},   {"rw-i@db.service", "loaded"}, {"rw-new.service", "not-found"},
      {"rw-m.service", "masked"},
  };
  const std::vector<std::string> files = {
      "/etc/systemd/system/rw-b.service",  // loaded too: its state is known
      "/lib/systemd/system/rw-c.timer",    // on disk only: asked about
      "/lib/systemd/system/rw-i@.service", "/lib/systemd/system/rw-x.path",
      "/run/systemd/system/rw-new.service",  // added since the manager did not find it
  };
  const std::vector<ListedUnit> expected = {
      {"rw-a.timer", "loaded"},      {"rw-b.service", "loaded"}, {"rw-c.timer", ""},
      {"rw-i@db.service", "loaded"}, {"rw-m.service", "masked"}, {"rw-new.service", ""},
  };
  EXPECT_EQ(TaskUnitsOf(loaded, files), expected);
}

TEST(TaskUnitsOf, AnAliasIsTheUnitItNamesCountedOnce) {
  const std::vector<ListedUnit> loaded = {{"ssh.service", "loaded"}};
  const std::vector<std::string> files = {
      "/lib/systemd/system/ssh.service",
      "/etc/systemd/system/sshd.service",        // of a listed unit: nothing added
      "/lib/systemd/system/db-dump.service",
      "/etc/systemd/system/dump.service",        // of a unit only on disk
      "/etc/systemd/system/backup-db.service",   // two of a unit the pattern did not match:
      "/etc/systemd/system/backup-all.service",  // shown as the first of them
      "/etc/systemd/system/gone.service",        // dangling: the manager names it itself
  };
  const std::map<std::string, std::string> aliases = {{"sshd.service", "ssh.service"},
                                                      {"dump.service", "db-dump.service"},
                                                      {"backup-db.service", "backup.service"},
                                                      {"backup-all.service", "backup.service"},
                                                      {"gone.service", "gone.service"}};
  const std::vector<ListedUnit> expected = {{"backup.service", ""},
                                            {"db-dump.service", ""},
                                            {"gone.service", ""},
                                            {"ssh.service", "loaded"}};
  std::map<std::string, std::string> shownAs;
  EXPECT_EQ(TaskUnitsOf(loaded, files, aliases, &shownAs), expected);
  EXPECT_EQ(shownAs, (std::map<std::string, std::string>{{"backup.service", "backup-all.service"}}));
}

TEST(TaskNamesOf, AServiceThatAListedTimerStartsIsCountedAsTheTimer) {
  const std::vector<ListedUnit> units = {
      {"a.service", ""}, {"a.timer", ""}, {"b.service", ""}, {"c.timer", ""}, {"d.service", ""}};
  const std::vector<std::pair<std::string, std::string>> started = {
      {"a.timer", "a.service"},   // its own name
      {"c.timer", "d.service"},   // Unit= names another
      {"x.timer", "b.service"},   // a timer that was not listed drops nothing
  };
  EXPECT_EQ(TaskNamesOf(units, started),
            (std::vector<std::string>{"a.timer", "b.service", "c.timer"}));
}

}  // namespace
}  // namespace runwarden
