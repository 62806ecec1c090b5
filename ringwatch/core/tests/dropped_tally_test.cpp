// Dropped input said at most once a period, with what was counted between.
#include "ringwatch/core/dropped_tally.h"

#include <gtest/gtest.h>

namespace hushcall::ringwatch {
namespace {

TEST(DroppedTally, TheFirstIsSaidAtOnceTheRestWithTheFirstAfterThePeriod) {
  DroppedTally tally(60000);
  EXPECT_EQ(tally.Drop(1000, 2), 2u);
  EXPECT_EQ(tally.Drop(2000), 0u);
  EXPECT_EQ(tally.Drop(60999, 3), 0u);
  EXPECT_EQ(tally.Drop(61000), 5u);
  EXPECT_EQ(tally.Drop(61001), 0u);
  // Quiet for long: the next is said at once.
  EXPECT_EQ(tally.Drop(500000), 2u);
}

TEST(DroppedTally, NothingDroppedIsNothingToSay) {
  DroppedTally tally(60000);
  EXPECT_EQ(tally.Drop(0, 0), 0u);
  EXPECT_EQ(tally.Drop(10, 1), 1u);
}

}  // namespace
}  // namespace hushcall::ringwatch
