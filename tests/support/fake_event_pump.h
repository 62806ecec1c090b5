// An event pump on fake time: logs "DoEvents" and runs the scripted events.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>

#include "ringwatch/core/event_pump.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"

namespace hushcall::testing {

class FakePump final : public ringwatch::EventPump {
 public:
  FakePump(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}

  // Run inside the next DoEvents calls, one per call (empty: nothing).
  std::deque<std::function<void()>> pending;

  void DoEvents() override {
    log_.push_back("DoEvents");
    if (pending.empty()) return;
    auto nested = std::move(pending.front());
    pending.pop_front();
    if (nested) nested();
  }
  std::int64_t NowMs() override { return clock_.nowMs; }

 private:
  CallLog& log_;
  FakeClock& clock_;
};

}  // namespace hushcall::testing
