#include "ringwatch/win32/ring_timer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "common/status.h"
#include "ringwatch/win32/tests/test_support.h"

namespace hushcall::ringwatch {
namespace {

using testing::NowMs;
using testing::PumpFor;
using testing::PumpUntil;

TEST(RingTimer, StartsStoppedAndRaisesNothing) {
  RingTimer timer(20);
  int expiries = 0;
  timer.SetOnTimer([&] { ++expiries; });
  EXPECT_FALSE(timer.Enabled());
  PumpFor(150);
  EXPECT_EQ(expiries, 0);
}

TEST(RingTimer, EnabledTimerExpiresRepeatedlyOnTheUiThread) {
  RingTimer timer(20);
  std::vector<DWORD> threads;
  timer.SetOnTimer([&] { threads.push_back(::GetCurrentThreadId()); });
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  ASSERT_TRUE(PumpUntil([&] { return threads.size() >= 3; }, 3000));
  for (DWORD thread : threads) EXPECT_EQ(thread, ::GetCurrentThreadId());
}

TEST(RingTimer, StoppedTimerRaisesNothingMore) {
  RingTimer timer(20);
  int expiries = 0;
  timer.SetOnTimer([&] {
    ++expiries;
    timer.SetEnabled(false);  // as the call timer stops itself
  });
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return expiries == 1; }, 3000));
  EXPECT_FALSE(timer.Enabled());
  PumpFor(150);
  EXPECT_EQ(expiries, 1);
}

TEST(RingTimer, StartingARunningTimerCountsTheIntervalAnew) {
  constexpr int kInterval = 300;
  RingTimer timer(kInterval);
  std::int64_t firedAt = 0;
  timer.SetOnTimer([&] {
    if (firedAt == 0) firedAt = NowMs();
  });
  timer.SetEnabled(true);
  PumpFor(200);
  ASSERT_EQ(firedAt, 0);
  const std::int64_t restartedAt = NowMs();
  timer.SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return firedAt != 0; }, 3000));
  // Only a lower bound: a loaded machine delivers late, never early. The
  // slack covers the timer's granularity.
  EXPECT_GE(firedAt - restartedAt, kInterval - 20);
}

// WM_TIMER waits while the thread is busy or other messages are queued; an
// expiry raised on asking is not raised again when it is handed out.
TEST(RingTimer, AnExpiryNotYetHandedOutIsRaisedOnceOnAsking) {
  constexpr int kInterval = 200;
  RingTimer timer(kInterval);
  int expiries = 0;
  timer.SetOnTimer([&] { ++expiries; });
  timer.SetEnabled(true);
  timer.RaiseOverdue();
  EXPECT_EQ(expiries, 0) << "not due yet";
  ::Sleep(kInterval + 150);  // due, and nothing pumped
  timer.RaiseOverdue();
  EXPECT_EQ(expiries, 1);
  PumpFor(kInterval / 4);
  EXPECT_EQ(expiries, 1) << "the late WM_TIMER of that expiry";
  EXPECT_TRUE(PumpUntil([&] { return expiries == 2; }, 3000)) << "the interval counts on";
}

TEST(RingTimer, TimerDestroyedInsideItsOwnExpiryIsSafe) {
  auto timer = std::make_unique<RingTimer>(20);
  int expiries = 0;
  timer->SetOnTimer([&] {
    ++expiries;
    timer.reset();
  });
  timer->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return expiries == 1; }, 3000));
  PumpFor(150);
  EXPECT_EQ(expiries, 1);
}

TEST(RingTimer, FailureThrownByTheHandlerIsDroppedAndTheTimerGoesOn) {
  RingTimer timer(20);
  int expiries = 0;
  timer.SetOnTimer([&] {
    ++expiries;
    Fail(kFail);
  });
  timer.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return expiries >= 2; }, 3000));
}

TEST(RingTimer, ManyTimersLiveSideBySide) {
  // Each has its own window; the window class goes with the last of them.
  auto first = std::make_unique<RingTimer>(20);
  auto second = std::make_unique<RingTimer>(20);
  int a = 0, b = 0;
  first->SetOnTimer([&] { ++a; });
  second->SetOnTimer([&] { ++b; });
  first->SetEnabled(true);
  second->SetEnabled(true);
  ASSERT_TRUE(PumpUntil([&] { return a > 0 && b > 0; }, 3000));
  first.reset();
  second.reset();
  RingTimer third(20);
  int c = 0;
  third.SetOnTimer([&] { ++c; });
  third.SetEnabled(true);
  EXPECT_TRUE(PumpUntil([&] { return c > 0; }, 3000));
}

}  // namespace
}  // namespace hushcall::ringwatch
