// The dialog's timers (tmrRING, tmrRetry): a fixed interval, started and
// stopped by Enabled.
#pragma once

#include <functional>

namespace hushcall::ringwatch {

inline constexpr int kRingTimerIntervalMs = 10000;
// How often a lost line is tried again.
inline constexpr int kLineRetryIntervalMs = 2000;

class Timer {
 public:
  virtual ~Timer() = default;
  virtual bool Enabled() const = 0;
  // Starting a running timer again, or stopping and starting it, begins the
  // interval anew.
  virtual void SetEnabled(bool enabled) = 0;
  // The expiry event, raised every interval while enabled, on the
  // user-interface thread.
  virtual void SetOnTimer(std::function<void()> handler) = 0;
  // Raises now an expiry that fell due but was not raised yet; nothing
  // otherwise. A busy system hands expiries out
  // late (Windows gives WM_TIMER only once no other message waits), so a
  // caller that decides by Enabled() whether time is up asks this first.
  virtual void RaiseOverdue() = 0;
};

}  // namespace hushcall::ringwatch
