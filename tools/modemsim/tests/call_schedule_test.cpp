#include "tools/modemsim/call_schedule.h"

#include <gtest/gtest.h>

namespace hushcall::modemsim {
namespace {

using Kind = ScheduledEvent::Kind;

const TimePoint kT0{};  // the fake clock's start

long long At(const ScheduledEvent& e) {
  return std::chrono::duration_cast<Millis>(e.at - kT0).count();
}

// Runs the schedule on a fake clock that jumps from event to event, and
// returns the times of the rings and of the script's end.
struct Played {
  std::vector<long long> rings;
  std::vector<std::string> labels;
  long long end = -1;
};

Played Play(CallSchedule& schedule) {
  Played played;
  while (auto due = schedule.NextDue()) {
    for (const auto& e : schedule.TakeDue(*due)) {
      if (e.kind == Kind::kRing) {
        played.rings.push_back(At(e));
        played.labels.push_back(e.label);
      } else {
        played.end = At(e);
      }
    }
  }
  return played;
}

struct PlanCase {
  CallPlan plan;
  std::vector<long long> rings;
  long long end;
};

class CallScript : public ::testing::TestWithParam<PlanCase> {};

TEST_P(CallScript, RingsComeAtThePlannedTimes) {
  CallSchedule schedule(GetParam().plan);
  schedule.StartScript(kT0);
  Played played = Play(schedule);
  EXPECT_EQ(played.rings, GetParam().rings);
  EXPECT_EQ(played.end, GetParam().end);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, CallScript,
    ::testing::Values(
        // Defaults: nothing to play, the script ends as it starts.
        PlanCase{CallPlan{}, {}, 0},
        PlanCase{CallPlan{1, 3, Millis(6000), Millis(15000), Millis(1000)}, {1000, 7000, 13000}, 13000},
        // The gap counts from the last ring of one call to the first of the next.
        PlanCase{CallPlan{2, 2, Millis(100), Millis(500), Millis(10)}, {10, 110, 610, 710}, 710},
        PlanCase{CallPlan{3, 1, Millis(100), Millis(50), Millis(0)}, {0, 50, 100}, 100},
        // Calls without rings play nothing.
        PlanCase{CallPlan{2, 0, Millis(100), Millis(50), Millis(20)}, {}, 0}));

TEST(CallSchedule, NothingIsDueBeforeTheScriptStarts) {
  CallSchedule schedule(CallPlan{1, 1, Millis(1), Millis(1), Millis(0)});
  EXPECT_FALSE(schedule.NextDue());
  EXPECT_TRUE(schedule.TakeDue(kT0 + Millis(100000)).empty());
}

TEST(CallSchedule, ScriptCountsFromItsStartNotFromTheClocksZero) {
  CallSchedule schedule(CallPlan{1, 2, Millis(300), Millis(0), Millis(100)});
  schedule.StartScript(kT0 + Millis(5000));
  EXPECT_EQ(Play(schedule).rings, (std::vector<long long>{5100, 5400}));
}

TEST(CallSchedule, ScriptPlaysOnlyOnce) {
  CallSchedule schedule(CallPlan{1, 1, Millis(0), Millis(0), Millis(10)});
  schedule.StartScript(kT0);
  schedule.StartScript(kT0 + Millis(1));
  EXPECT_EQ(Play(schedule).rings.size(), 1u);
}

TEST(CallSchedule, EventsBecomeDueOnlyWhenTheirTimeComes) {
  CallSchedule schedule(CallPlan{1, 2, Millis(100), Millis(0), Millis(50)});
  schedule.StartScript(kT0);
  EXPECT_TRUE(schedule.TakeDue(kT0 + Millis(49)).empty());
  EXPECT_EQ(schedule.TakeDue(kT0 + Millis(50)).size(), 1u);
  EXPECT_TRUE(schedule.TakeDue(kT0 + Millis(149)).empty());
  // A late clock gets the ring and the end together, the ring first.
  auto due = schedule.TakeDue(kT0 + Millis(1000));
  ASSERT_EQ(due.size(), 2u);
  EXPECT_EQ(due[0].kind, Kind::kRing);
  EXPECT_EQ(due[1].kind, Kind::kScriptEnd);
}

TEST(CallSchedule, AddedRingsInterleaveWithTheScript) {
  CallSchedule schedule(CallPlan{1, 2, Millis(1000), Millis(0), Millis(0)});
  schedule.StartScript(kT0);
  schedule.AddRings(kT0 + Millis(200), 3, Millis(400));
  Played played = Play(schedule);
  EXPECT_EQ(played.rings, (std::vector<long long>{0, 200, 600, 1000, 1000}));
  EXPECT_EQ(played.labels[1], "control ring 1/3");
  EXPECT_EQ(played.end, 1000);
}

TEST(CallSchedule, LabelsNameCallAndRing) {
  CallSchedule schedule(CallPlan{2, 2, Millis(1), Millis(1), Millis(0)});
  schedule.StartScript(kT0);
  EXPECT_EQ(Play(schedule).labels,
            (std::vector<std::string>{"call 1 ring 1/2", "call 1 ring 2/2", "call 2 ring 1/2",
                                      "call 2 ring 2/2"}));
}

}  // namespace
}  // namespace hushcall::modemsim
