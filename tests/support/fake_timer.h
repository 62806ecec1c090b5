// A timer on fake time: Advance delivers every expiry that falls due.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "ringwatch/core/timer.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"

namespace hushcall::testing {

// Logs "Timer=true", "Timer=false" and, for each expiry, "Timer expired";
// the retry timer says "Retry" instead of "Timer".
class FakeTimer final : public ringwatch::Timer {
 public:
  FakeTimer(CallLog& log, FakeClock& clock, int intervalMs = ringwatch::kRingTimerIntervalMs,
            std::string name = "Timer")
      : log_(log), clock_(clock), intervalMs_(intervalMs), name_(std::move(name)) {}
  ~FakeTimer() override {
    *alive_ = false;
    if (onDestroyed) onDestroyed();
  }

  // Run by the destructor, for whoever made the timer.
  std::function<void()> onDestroyed;
  // A busy system: Advance moves the clock on but raises nothing, and the
  // expiries that fell due wait for RaiseOverdue.
  bool late = false;

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
    log_.push_back(name_ + (enabled ? "=true" : "=false"));
    if (enabled) startedMs_ = clock_.nowMs;  // (re)starting begins the count anew
    enabled_ = enabled;
  }
  void SetOnTimer(std::function<void()> handler) override { onTimer_ = std::move(handler); }

  // Moves the clock on by `ms`, raising the expiry event at each due time.
  // Runs no expiry that falls due only after a handler's own wait. A handler
  // may destroy the timer (an unload inside the event): then the clock alone
  // moves on.
  void Advance(std::int64_t ms) {
    FakeClock& clock = clock_;
    const std::shared_ptr<bool> alive = alive_;
    const std::int64_t end = clock.nowMs + ms;
    while (*alive && !late && enabled_ && startedMs_ + intervalMs_ <= end) {
      clock.nowMs = startedMs_ + intervalMs_;
      startedMs_ = clock.nowMs;
      log_.push_back(name_ + " expired");
      auto handler = onTimer_;
      if (handler) handler();
    }
    // A handler that waited has moved the clock on already; time never goes back.
    if (clock.nowMs < end) clock.nowMs = end;
  }

  void RaiseOverdue() override {
    if (!enabled_ || startedMs_ + intervalMs_ > clock_.nowMs) return;
    startedMs_ = clock_.nowMs;
    log_.push_back(name_ + " expired late");
    RaiseOnTimer();
  }

  // Raises the expiry event now, whatever the time; the handler may destroy
  // the timer, so it runs from a copy.
  void RaiseOnTimer() {
    auto handler = onTimer_;
    if (handler) handler();
  }

 private:
  CallLog& log_;
  FakeClock& clock_;
  int intervalMs_;
  std::string name_;
  bool enabled_ = false;
  std::int64_t startedMs_ = 0;
  std::function<void()> onTimer_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace hushcall::testing
