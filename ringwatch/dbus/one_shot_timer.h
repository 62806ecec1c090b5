// A one-shot timer on the event loop, a timerfd made only while it runs:
// the D-Bus side's own deadlines (a volume that must have changed by then).
#pragma once

#include <functional>

#include "common/posix/unique_fd.h"
#include "ringwatch/posix/event_loop.h"

namespace hushcall::ringwatch {

class OneShotTimer {
 public:
  explicit OneShotTimer(EventLoop& loop) : loop_(loop) {}
  OneShotTimer(const OneShotTimer&) = delete;
  OneShotTimer& operator=(const OneShotTimer&) = delete;

  // Calls `onExpiry` once, `ms` from now, unless stopped or started again
  // first. Throws Failure when the kernel refuses a timer.
  void Start(int ms, std::function<void()> onExpiry);
  void Stop();
  bool running() const { return static_cast<bool>(watch_); }

 private:
  EventLoop& loop_;
  posix::UniqueFd fd_;
  EventLoop::Watch watch_;
  std::function<void()> onExpiry_;
};

}  // namespace hushcall::ringwatch
