// The retry of a lost peer: waits that double to a ceiling, one telling per
// outage, one log line per reason.
#include "ringwatch/core/retry_backoff.h"

#include <gtest/gtest.h>

#include <vector>

namespace hushcall::ringwatch {
namespace {

TEST(RetryBackoff, WaitsDoubleToTheCeilingAndStartAgainOnceConnected) {
  RetryBackoff retry(2000, 60000);
  std::vector<int> waits;
  for (int i = 0; i < 8; ++i) waits.push_back(retry.NextWaitMs());
  EXPECT_EQ(waits, (std::vector<int>{2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
  EXPECT_EQ(retry.waitMs(), 60000);
  retry.Succeeded();
  EXPECT_EQ(retry.waitMs(), 2000);
  EXPECT_EQ(retry.NextWaitMs(), 2000);
  EXPECT_EQ(retry.NextWaitMs(), 4000);
}

TEST(RetryBackoff, AnOutageIsToldOnceAndEachNewReasonLoggedOnce) {
  RetryBackoff retry(2000, 60000);
  EXPECT_FALSE(retry.told());
  EXPECT_TRUE(retry.TellOnce());
  EXPECT_FALSE(retry.TellOnce());
  EXPECT_TRUE(retry.told());
  EXPECT_TRUE(retry.NewReason("refused"));
  EXPECT_FALSE(retry.NewReason("refused"));
  EXPECT_TRUE(retry.NewReason("timed out"));
  EXPECT_TRUE(retry.NewReason("refused"));
  retry.Succeeded();
  EXPECT_FALSE(retry.told());
  EXPECT_TRUE(retry.TellOnce());
  EXPECT_TRUE(retry.NewReason("refused"));
}

TEST(RetryBackoff, ACeilingBelowTheFirstWaitKeepsTheFirst) {
  RetryBackoff retry(5000, 1000);
  EXPECT_EQ(retry.NextWaitMs(), 5000);
  EXPECT_EQ(retry.NextWaitMs(), 5000);
}

}  // namespace
}  // namespace hushcall::ringwatch
