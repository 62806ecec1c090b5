// The call model's time: a monotonic clock and one wake-up, for the calls
// whose end is never reported. The service runs it on its event loop; the
// tests on fake time.
#pragma once

#include <cstdint>
#include <functional>

namespace hushcall::ringwatch {

class CallClock {
 public:
  virtual ~CallClock() = default;
  virtual std::int64_t NowMs() = 0;
  // Runs the wake handler once, at `atMs` on NowMs's scale or as soon
  // after as the loop allows; a new WakeAt replaces the one pending.
  virtual void WakeAt(std::int64_t atMs) = 0;
  virtual void CancelWake() = 0;
  virtual void SetOnWake(std::function<void()> handler) = 0;
};

}  // namespace hushcall::ringwatch
