// The latest listed start where the scheduler's lists misbehave.
#include <gtest/gtest.h>

#include "core/tasks/scheduled_start.h"

namespace runwarden {
namespace {

constexpr DateTime kEnd = 46363.5;  // 7 December 2026, noon

TEST(LatestListedStart, ListsThatMisbehaveStillEnd) {
  int calls = 0;
  // Always full, always the same start: paged until nothing later comes, then taken.
  const auto sameStart = [&calls](const SystemTime&, const SystemTime&, std::uint32_t& count,
                                  std::vector<SystemTime>& times) {
    ++calls;
    times.assign(count, SplitDateTime(kEnd - 0.25));
    return HResult{0};
  };
  TaskDue due = LatestListedStart(sameStart, 4, kEnd);
  EXPECT_EQ(due.kind, TaskDue::Kind::Start);
  EXPECT_DOUBLE_EQ(due.start, kEnd - 0.25);
  EXPECT_EQ(calls, 2) << "a second page that gave nothing later ends the range";

  // Starts outside the range asked for, and records that are no date, are not taken.
  const auto outside = [](const SystemTime& begin, const SystemTime&, std::uint32_t& count,
                          std::vector<SystemTime>& times) {
    times = {SplitDateTime(kEnd), SplitDateTime(kEnd + 1), SystemTime{},
             SplitDateTime(DateTimeFromSystemTime(begin) - 0.001)};
    count = static_cast<std::uint32_t>(times.size());
    return kFalse;
  };
  due = LatestListedStart(outside, 10, kEnd);
  EXPECT_EQ(due.kind, TaskDue::Kind::NotYetDue);

  // A count that claims more than the list holds is no full list.
  calls = 0;
  const auto shortList = [&calls](const SystemTime&, const SystemTime&, std::uint32_t& count,
                                  std::vector<SystemTime>& times) {
    ++calls;
    times = {SplitDateTime(kEnd - 0.5)};
    count = 10;
    return HResult{0};
  };
  due = LatestListedStart(shortList, 10, kEnd);
  EXPECT_EQ(due.kind, TaskDue::Kind::Start);
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace runwarden
