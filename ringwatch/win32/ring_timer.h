// tmrRING: a window timer on a hidden window of the thread that created it.
// It may be destroyed at any time, also from inside its own expiry.
#pragma once

#include <memory>

#include "ringwatch/core/timer.h"

namespace hushcall::ringwatch {

class RingTimer final : public Timer {
 public:
  // Stopped. Throws Failure if the hidden window can't be created.
  explicit RingTimer(int intervalMs);
  ~RingTimer() override;
  RingTimer(const RingTimer&) = delete;
  RingTimer& operator=(const RingTimer&) = delete;

  bool Enabled() const override;
  // true (re)starts the interval from now; false stops the timer. Throws
  // Failure when the system refuses a timer.
  void SetEnabled(bool enabled) override;
  void SetOnTimer(std::function<void()> handler) override;
  void RaiseOverdue() override;

 private:
  class State;
  std::shared_ptr<State> state_;
};

}  // namespace hushcall::ringwatch
