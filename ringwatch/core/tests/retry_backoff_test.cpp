// What a source with a peer that fails says and waits: retries that double
// to a ceiling, one telling per outage and one log line per reason, and
// dropped input said at most once a period with what was counted between.
#include "ringwatch/core/retry_backoff.h"

#include <gtest/gtest.h>

#include <vector>

#include "ringwatch/core/dropped_tally.h"

namespace hushcall::ringwatch {
namespace {

TEST(RetryBackoff, WaitsDoubleToTheCeilingAndStartAgainOnceConnected) {
  RetryBackoff retry(2000, 60000);
  std::vector<int> waits;
  for (int i = 0; i < 7; ++i) waits.push_back(retry.NextWaitMs());
  EXPECT_EQ(waits, (std::vector<int>{2000, 4000, 8000, 16000, 32000, 60000, 60000}));
  retry.Succeeded();
  EXPECT_EQ(retry.waitMs(), 2000);
  // A ceiling below the first wait keeps the first.
  RetryBackoff flat(5000, 1000);
  flat.NextWaitMs();
  EXPECT_EQ(flat.NextWaitMs(), 5000);
}

TEST(RetryBackoff, AnOutageIsToldOnceAndEachNewReasonLoggedOnce) {
  RetryBackoff retry(2000, 60000);
  EXPECT_TRUE(retry.TellOnce());
  EXPECT_FALSE(retry.TellOnce());
  EXPECT_TRUE(retry.told());
  EXPECT_TRUE(retry.NewReason("refused"));
  EXPECT_FALSE(retry.NewReason("refused"));
  EXPECT_TRUE(retry.NewReason("timed out"));
  EXPECT_TRUE(retry.NewReason("refused"));
  retry.Succeeded();
  EXPECT_FALSE(retry.told());
  EXPECT_TRUE(retry.NewReason("refused"));
}

TEST(DroppedTally, TheFirstIsSaidAtOnceTheRestWithTheFirstAfterThePeriod) {
  DroppedTally tally(60000);
  EXPECT_EQ(tally.Drop(0, 0), 0u);  // nothing dropped, nothing to say
  EXPECT_EQ(tally.Drop(1000, 2), 2u);
  EXPECT_EQ(tally.Drop(2000), 0u);
  EXPECT_EQ(tally.Drop(60999, 3), 0u);
  EXPECT_EQ(tally.Drop(61000), 5u);
  EXPECT_EQ(tally.Drop(61001), 0u);
  // Quiet for long: the next is said at once.
  EXPECT_EQ(tally.Drop(500000), 2u);
}

}  // namespace
}  // namespace hushcall::ringwatch
