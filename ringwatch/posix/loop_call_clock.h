// The call model's clock on the service's event loop: the loop's monotonic
// milliseconds, and one LoopTimer for the wake, disarmed while none is due.
#pragma once

#include <cstdint>
#include <functional>

#include "ringwatch/calls/call_clock.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/loop_timer.h"

namespace hushcall::ringwatch {

class LoopCallClock final : public CallClock {
 public:
  // Throws Failure when the timer cannot be made. The loop must outlive it.
  explicit LoopCallClock(EventLoop& loop);

  std::int64_t NowMs() override { return loop_.NowMs(); }
  // Throws Failure when the kernel refuses the timer's setting.
  void WakeAt(std::int64_t atMs) override;
  void CancelWake() override { timer_.SetEnabled(false); }
  void SetOnWake(std::function<void()> handler) override { handler_ = std::move(handler); }

 private:
  EventLoop& loop_;
  LoopTimer timer_;
  std::function<void()> handler_;
};

}  // namespace hushcall::ringwatch
