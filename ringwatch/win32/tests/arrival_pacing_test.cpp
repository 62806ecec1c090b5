// The reader's pacing on fake time, and which notices raise OnComm.
#include "ringwatch/win32/arrival_pacing.h"

#include <gtest/gtest.h>

namespace hushcall::ringwatch {
namespace {

TEST(ArrivalPacing, LineEndIsToldAtOnceAndTheTailAfterFiftyQuietMs) {
  ArrivalPacing pacing;
  EXPECT_EQ(pacing.OnCharacters("\r\nRING\r\n", 1000), kArrivalNotice);
  EXPECT_EQ(pacing.NextDueMs(), 1000 + kTailWaitMs);
  EXPECT_EQ(pacing.OnQuiet(1000 + kTailWaitMs - 1), 0u);
  EXPECT_EQ(pacing.OnQuiet(1000 + kTailWaitMs), kTailNotice);
  EXPECT_EQ(pacing.NextDueMs(), std::nullopt) << "a quiet line costs no wake-ups";
}

TEST(ArrivalPacing, TextWithoutLineEndWaitsThreeQuietCharacterTimes) {
  ArrivalPacing pacing;
  EXPECT_EQ(pacing.OnCharacters("RI", 1000), 0u);
  EXPECT_EQ(pacing.NextDueMs(), 1000 + kQuietLineMs);
  // More of the line moves the quiet point on.
  EXPECT_EQ(pacing.OnCharacters("N", 1002), 0u);
  EXPECT_EQ(pacing.OnQuiet(1002 + kQuietLineMs - 1), 0u);
  EXPECT_EQ(pacing.OnQuiet(1002 + kQuietLineMs), kArrivalNotice);
  EXPECT_EQ(pacing.NextDueMs(), 1002 + kTailWaitMs);
}

// A 5 + 3 split (an adapter's latency timer): the last three characters
// stay below the threshold and must still be told after a quiet wait.
TEST(ArrivalPacing, SplitReportGetsItsTailToldFiftyMsAfterTheLastPiece) {
  ArrivalPacing pacing;
  EXPECT_EQ(pacing.OnCharacters("\r\nRIN", 1000), kArrivalNotice) << "a line end came first";
  EXPECT_EQ(pacing.OnCharacters("G\r\n", 1020), kArrivalNotice);
  EXPECT_EQ(pacing.OnQuiet(1000 + kTailWaitMs), 0u) << "measured from the last piece";
  EXPECT_EQ(pacing.OnQuiet(1020 + kTailWaitMs), kTailNotice);
}

TEST(ArrivalPacing, LateWakeTellsBothAtOnce) {
  ArrivalPacing pacing;
  pacing.OnCharacters("x", 0);
  EXPECT_EQ(pacing.OnQuiet(500), kArrivalNotice | kTailNotice);
  EXPECT_EQ(pacing.NextDueMs(), std::nullopt);
}

struct RaiseCase {
  ReceiveNotices notices;
  std::size_t waiting;
  int threshold;
  bool raises;
  const char* why;
};

class RaiseRule : public ::testing::TestWithParam<RaiseCase> {};

TEST_P(RaiseRule, DecidesOnCommForTheWaitingCharacters) {
  const RaiseCase& c = GetParam();
  EXPECT_EQ(RaisesForCharacters(c.notices, c.waiting, c.threshold), c.raises) << c.why;
}

INSTANTIATE_TEST_SUITE_P(
    ReceiveNotices, RaiseRule,
    ::testing::Values(RaiseCase{kArrivalNotice, 6, 5, true, "a full report"},
                      RaiseCase{kArrivalNotice, 3, 5, false, "an arrival below the threshold waits"},
                      RaiseCase{kTailNotice, 3, 5, true, "the held-back tail is raised"},
                      RaiseCase{kTailNotice, 6, 5, false, "characters already raised and left unread"},
                      RaiseCase{kTailNotice, 0, 5, false, "nothing waits"},
                      RaiseCase{kLossNotice, 2, 5, true, "a lost line hands out what is left"},
                      RaiseCase{kLossNotice, 0, 5, false, "the loss itself is raised apart"},
                      RaiseCase{kArrivalNotice | kTailNotice, 6, 0, false, "threshold 0: no events"}));

}  // namespace
}  // namespace hushcall::ringwatch
