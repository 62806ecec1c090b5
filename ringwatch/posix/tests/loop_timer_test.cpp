// LoopTimer on a real EventLoop: a restart counts the interval anew, a stop
// leaves nothing due and no wake-up, an expiry due is raised on asking, and
// a timer may go inside its own tick.
#include "ringwatch/posix/loop_timer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/tests/pty_modem.h"

namespace hushcall::ringwatch {
namespace {

using testing::LoopReady;
using testing::PumpUntil;

constexpr int kIntervalMs = 100;
constexpr int kBoundMs = 3000;  // far beyond any interval here

// Each step waits for the timer's expiry to be due (its descriptor ready,
// no handler run yet) and acts on it then, so no step races the clock.
TEST(LoopTimer, RestartCountsAnewAndStopLeavesNothingDue) {
  EventLoop loop;
  LoopTimer timer(loop, kIntervalMs);
  std::vector<std::int64_t> ticks;
  timer.SetOnTimer([&] { ticks.push_back(loop.NowMs()); });
  EXPECT_FALSE(timer.Enabled());
  EXPECT_FALSE(LoopReady(loop, 2 * kIntervalMs)) << "made stopped";

  timer.SetEnabled(true);
  ASSERT_TRUE(LoopReady(loop, kBoundMs));
  // Started again with its expiry due: that expiry is dropped.
  const std::int64_t restarted = loop.NowMs();
  timer.SetEnabled(true);
  EXPECT_FALSE(LoopReady(loop, 0));
  ASSERT_TRUE(PumpUntil(loop, [&] { return ticks.size() == 3; }, kBoundMs));
  // Expiry k falls k intervals after the restart, and is handled no
  // earlier (millisecond readings: one less is the same instant).
  for (std::size_t k = 0; k < ticks.size(); ++k) {
    EXPECT_GE(ticks[k] - restarted, static_cast<std::int64_t>(k + 1) * kIntervalMs - 1) << k;
  }
  EXPECT_TRUE(timer.Enabled()) << "ticks until stopped";

  // Stopped with its expiry due: nothing runs, nothing wakes the loop.
  ASSERT_TRUE(LoopReady(loop, kBoundMs));
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_FALSE(LoopReady(loop, 3 * kIntervalMs));
  loop.RunOnce(0);
  EXPECT_EQ(ticks.size(), 3u);

  // Due while the loop is busy elsewhere: raised on asking, and only once.
  timer.SetEnabled(true);
  EXPECT_FALSE(LoopReady(loop, 0));
  timer.RaiseOverdue();
  ASSERT_TRUE(LoopReady(loop, kBoundMs));
  timer.RaiseOverdue();
  EXPECT_EQ(ticks.size(), 4u);
  EXPECT_FALSE(LoopReady(loop, 0)) << "the loop finds nothing more due";
}

TEST(LoopTimer, MayBeDestroyedInsideItsOwnTick) {
  EventLoop loop;
  auto timer = std::make_unique<LoopTimer>(loop, 10);
  LoopTimer other(loop, 10);
  int ticks = 0;
  int otherTicks = 0;
  timer->SetOnTimer([&] {
    ++ticks;
    timer.reset();
  });
  other.SetOnTimer([&] { ++otherTicks; });
  timer->SetEnabled(true);
  other.SetEnabled(true);
  ASSERT_TRUE(PumpUntil(loop, [&] { return otherTicks >= 5; }, kBoundMs));
  EXPECT_EQ(timer, nullptr);
  EXPECT_EQ(ticks, 1) << "nothing of the destroyed timer runs again";
}

}  // namespace
}  // namespace hushcall::ringwatch
