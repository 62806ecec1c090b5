// tmrRING and tmrRetry for the desktop service: a timerfd on the monotonic
// clock, watched by the service's EventLoop, so that its expiries run from
// the loop (also nested in the ring watch's waits) as the Windows timer's
// WM_TIMER does from the message loop.
//
// A stopped timer is disarmed: it makes no wake-ups at all, and stopping
// throws away an expiry that was due but not yet handled. Expiries missed
// while the loop was busy are raised as one. The timer may be destroyed at
// any time, also from inside its own OnTimer.
#pragma once

#include <functional>

#include "common/posix/unique_fd.h"
#include "ringwatch/core/timer.h"
#include "ringwatch/posix/event_loop.h"

namespace hushcall::ringwatch {

class LoopTimer final : public Timer {
 public:
  // Stopped. An interval below 1 ms counts as 1 ms. Throws Failure when the
  // kernel refuses a timerfd or the loop refuses to watch it.
  LoopTimer(EventLoop& loop, int intervalMs);
  ~LoopTimer() override;
  LoopTimer(const LoopTimer&) = delete;
  LoopTimer& operator=(const LoopTimer&) = delete;

  bool Enabled() const override { return enabled_; }
  // true (re)starts the interval from now; false stops the timer. Throws
  // Failure when the kernel refuses the setting.
  void SetEnabled(bool enabled) override;
  void SetOnTimer(std::function<void()> handler) override { handler_ = std::move(handler); }
  // The descriptor says exactly whether an expiry waits: it is read as the
  // loop would.
  void RaiseOverdue() override { OnReady(); }
  // The interval from the next start on; below 1 ms counts as 1 ms.
  void SetIntervalMs(int intervalMs) { intervalMs_ = intervalMs < 1 ? 1 : intervalMs; }

 private:
  void OnReady();

  int intervalMs_;
  bool enabled_ = false;
  std::function<void()> handler_;
  posix::UniqueFd fd_;
  // After the descriptor, so that the watch goes first.
  EventLoop::Watch watch_;
};

}  // namespace hushcall::ringwatch
