#include "ringwatch/posix/loop_call_clock.h"

#include <algorithm>
#include <limits>

namespace hushcall::ringwatch {

LoopCallClock::LoopCallClock(EventLoop& loop) : loop_(loop), timer_(loop, 1) {
  timer_.SetOnTimer([this] {
    timer_.SetEnabled(false);  // once
    // A copy: the handler may set the next wake or replace itself.
    std::function<void()> handler = handler_;
    if (handler) handler();
  });
}

void LoopCallClock::WakeAt(std::int64_t atMs) {
  const std::int64_t wait = std::clamp<std::int64_t>(atMs - loop_.NowMs(), 1,
                                                     std::numeric_limits<int>::max());
  timer_.SetIntervalMs(static_cast<int>(wait));
  timer_.SetEnabled(true);
}

}  // namespace hushcall::ringwatch
