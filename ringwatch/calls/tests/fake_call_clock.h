// The call clock on fake time, for the call model and the sources that time
// calls out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "ringwatch/calls/call_clock.h"

namespace hushcall::testing {

class FakeCallClock final : public ringwatch::CallClock {
 public:
  std::int64_t NowMs() override { return now_; }
  void WakeAt(std::int64_t atMs) override { wake_ = atMs; }
  void CancelWake() override { wake_.reset(); }
  void SetOnWake(std::function<void()> handler) override { onWake_ = std::move(handler); }

  // Moves time on, waking at each wake that falls due.
  void Advance(std::int64_t ms) {
    const std::int64_t end = now_ + ms;
    while (wake_ && *wake_ <= end) {
      now_ = *wake_;
      wake_.reset();
      if (onWake_) onWake_();
    }
    now_ = end;
  }

 private:
  std::int64_t now_ = 0;
  std::optional<std::int64_t> wake_;
  std::function<void()> onWake_;
};

}  // namespace hushcall::testing
