// Patterns over a tree of Task Scheduler 2.0 folders (\Company\**): which tasks they find,
// how a folder that cannot be listed shows, and that other patterns keep meaning one folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "core/check/check_run.h"
#include "fakes/fake_platform.h"

namespace runwarden {
namespace {

using testing::FakePlatform;
using Lines = std::vector<std::string>;
using Scenario = std::function<void(FakePlatform&)>;

constexpr HResult kAccessDenied = static_cast<HResult>(0x80070005);

long CountOf(const Lines& calls, const std::string& prefix) {
  return std::count_if(calls.begin(), calls.end(),
                       [&](const std::string& call) { return call.rfind(prefix, 0) == 0; });
}

// \Company holds A and the folders Sub and Empty; \Company\Sub holds B Nightly and Deep;
// \Company\Sub\Deep holds C Nightly. The root holds R and the folder Company; 1.0 knows R
// too, and V1. Every task last ran at 2:00 of the day of the check, noon.
void Tree(FakePlatform& f) {
  f.serviceCreateResult = 0;
  f.listedTasks = {"R", "V1"};
  f.folderTasks = {{"\\", {"R"}},
                   {"\\Company", {"A"}},
                   {"\\Company\\Sub", {"B Nightly"}},
                   {"\\Company\\Sub\\Deep", {"C Nightly"}}};
  f.subfolders = {{"\\", {"Company"}},
                  {"\\Company", {"Sub", "Empty"}},
                  {"\\Company\\Sub", {"Deep"}}};
}

struct TreeRun {
  TreeRun(const std::string& pattern, const Scenario& setup) {
    fake.clockReadings = {{2026, 12, 0, 7, 12, 0, 0, 0}};
    fake.lastRunTime = {2026, 12, 0, 7, 2, 0, 0, 0};
    fake.registeredLastRun = DateTimeFromSystemTime(fake.lastRunTime);
    Tree(fake);
    if (setup) setup(fake);
    outcome = JudgeCheck({"-task:" + pattern, "-timeframe:today"}, fake.platform(),
                         RegionalSettings{}, SystemLeadBytes{});
  }
  // Each task as NAME, or NAME: TEXT when it is not Ok.
  Lines Tasks() const {
    Lines tasks;
    for (const CheckReport& task : outcome.report.Tasks) {
      tasks.push_back(task.TaskName + (task.Status == CheckStatus::Ok ? "" : ": " + task.Text));
    }
    return tasks;
  }
  FakePlatform fake;
  CheckOutcome outcome;
};

TEST(FolderTree, EveryFolderBelowAndTheTasksItHolds) {
  const std::string denied = "; Error Code: 80070005";
  // The folder whose folders' paths would reach 512 units.
  std::string deepest = "\\Company\\Sub\\Deep";
  while (deepest.size() + 2 < 512) deepest += "\\L";
  const struct {
    std::string pattern;
    Scenario setup;
    Lines tasks;
    const char* reason;
  } cases[] = {
      {"\\Company\\**", nullptr,
       {"\\Company\\A", "\\Company\\Sub\\B Nightly", "\\Company\\Sub\\Deep\\C Nightly"},
       "the folder and every level below it, each task by its path"},
      {"Company\\**\\", nullptr,
       {"\\Company\\A", "\\Company\\Sub\\B Nightly", "\\Company\\Sub\\Deep\\C Nightly"},
       "without the leading backslash, with a trailing one"},
      {"\\Company\\**\\*nightly", nullptr,
       {"\\Company\\Sub\\B Nightly", "\\Company\\Sub\\Deep\\C Nightly"},
       "a names pattern matches in every folder"},
      {"\\Company\\Sub\\Deep\\**", nullptr, {"\\Company\\Sub\\Deep\\C Nightly"},
       "a folder without folders: one level"},
      {"\\**", nullptr,
       {"\\Company\\A", "\\Company\\Sub\\B Nightly", "\\Company\\Sub\\Deep\\C Nightly", "R", "V1"},
       "from the root: the 1.0 tasks and the whole tree, a root task known to both once"},
      {"\\Company\\**",
       [](FakePlatform& f) { f.folderTaskListResults = {{"\\Company\\Sub", kAccessDenied}}; },
       {"\\Company\\A", "\\Company\\Sub\\: Cannot list folder \"\\Company\\Sub\\\"" + denied,
        "\\Company\\Sub\\Deep\\C Nightly"},
       "a folder whose tasks cannot be listed is reported; the folders below it are not lost"},
      {"\\Company\\**",
       [](FakePlatform& f) { f.subfolderListResults = {{"\\Company\\Sub", kAccessDenied}}; },
       {"\\Company\\A", "\\Company\\Sub\\: Cannot list folder \"\\Company\\Sub\\\"" + denied,
        "\\Company\\Sub\\B Nightly"},
       "a folder whose folders cannot be listed is reported; its tasks are kept"},
      {"\\Company\\**", [](FakePlatform& f) { f.subfolders["\\Company\\Sub"] = {""}; },
       {"\\Company\\A", "\\Company\\Sub\\: Cannot list folder \"\\Company\\Sub\\\"; Error Code: 8007007B",
        "\\Company\\Sub\\B Nightly"},
       "a folder without a name would be its parent again: an invalid name"},
      {"\\Company\\**",
       [](FakePlatform& f) {
         // \Company\Sub\Deep\L\L\... down to a path of 512 units
         for (std::string path = "\\Company\\Sub\\Deep"; path.size() < 520; path += "\\L") {
           f.subfolders[path] = {"L"};
         }
       },
       {"\\Company\\A", "\\Company\\Sub\\B Nightly", "\\Company\\Sub\\Deep\\C Nightly",
        deepest + "\\: Cannot list folder \"" + deepest + "\\\"; Error Code: 800700CE"},
       "a path that would not fit the name buffer: a name too long, and the walk ends"},
      {"\\**", [](FakePlatform& f) { f.folderTaskListResults = {{"\\", kAccessDenied}}; },
       {"\\: Cannot list folder \"\\\"" + denied, "\\Company\\A", "\\Company\\Sub\\B Nightly",
        "\\Company\\Sub\\Deep\\C Nightly", "R", "V1"},
       "the root that cannot be listed, as \\"},
  };
  for (const auto& c : cases) {
    const TreeRun run(c.pattern, c.setup);
    EXPECT_EQ(run.Tasks(), c.tasks) << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
    const Lines& calls = run.fake.calls;
    EXPECT_EQ(CountOf(calls, "GetTasks("), CountOf(calls, "GetFolders(")) << c.reason;
    for (const std::string& call : calls) {
      const bool tasks = call.starts_with("GetTasks("), folders = call.starts_with("GetFolders(");
      EXPECT_TRUE(!tasks || call.ends_with(", 1)")) << call << ": hidden tasks too";
      EXPECT_TRUE(!folders || call.ends_with(", 0)")) << call;
    }
  }
}

TEST(FolderTree, NothingFoundIsTheNotFoundLineWithTheFirstFolderThatFailed) {
  const struct {
    std::string pattern;
    Scenario setup;
    std::string code;
    const char* reason;
  } cases[] = {
      {"\\Nope\\**", [](FakePlatform& f) { f.getFolderResult = static_cast<HResult>(0x80070003); },
       "80070003", "no such folder"},
      {"\\Company\\**\\x*", nullptr, "80070003", "no task matching"},
      {"\\Company\\**", [](FakePlatform& f) { f.getTasksResult = kAccessDenied; }, "80070005",
       "no folder can be listed: the top one's code"},
      {"\\Company\\**",
       [](FakePlatform& f) {
         f.folderTasks.clear();
         f.subfolderListResults = {{"\\Company\\Sub", static_cast<HResult>(0x80004001)}};
       },
       "80004001", "no task, and a folder below that failed"},
  };
  for (const auto& c : cases) {
    const TreeRun run(c.pattern, c.setup);
    EXPECT_EQ(run.outcome.report.Status, CheckStatus::Bad) << c.reason;
    EXPECT_EQ(run.outcome.report.Text,
              "Cannot find task \"" + c.pattern + "\"; Error Code: " + c.code)
        << c.reason;
    EXPECT_EQ(run.fake.liveObjects, 0) << c.reason;
  }
}

// Only a folder part that ends in \** names a tree.
TEST(FolderTree, OtherPatternsKeepMeaningOneFolder) {
  for (const std::string pattern : {"\\Company\\*", "\\Company\\", "**", "\\Company\\**x", "*"}) {
    const TreeRun run(pattern, nullptr);
    EXPECT_EQ(CountOf(run.fake.calls, "GetFolders"), 0) << pattern;
    EXPECT_EQ(CountOf(run.fake.calls, "GetTasks"), 1) << pattern;
  }
}

}  // namespace
}  // namespace runwarden
