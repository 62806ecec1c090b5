// A component factory that makes the fake port and timers, logs their making
// ("CreateSerialPort", "CreateTimer(10000)", "CreateTimer(2000)") and their
// end ("~SerialPort", "~Timer", "~Retry"), and keeps a pointer to the live
// ones. A timer of the retry interval is the retry timer.
#pragma once

#include <memory>
#include <string>

#include "common/status.h"
#include "ringwatch/core/components.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/fake_timer.h"

namespace hushcall::testing {

class FakeComponents final : public ringwatch::ComponentFactory {
 public:
  explicit FakeComponents(CallLog& log) : log_(log) {}

  FakeClock clock;
  FakeSerialPort* port = nullptr;  // null once destroyed
  FakeTimer* timer = nullptr;      // null once destroyed
  FakeTimer* retryTimer = nullptr;  // null once destroyed
  bool failTimer = false;          // CreateTimer runs out of memory

  std::unique_ptr<ringwatch::SerialPort> CreateSerialPort() override {
    log_.push_back("CreateSerialPort");
    auto made = std::make_unique<FakeSerialPort>(log_, clock);
    made->onDestroyed = [this] {
      log_.push_back("~SerialPort");
      port = nullptr;
    };
    port = made.get();
    return made;
  }
  std::unique_ptr<ringwatch::Timer> CreateTimer(int intervalMs) override {
    if (failTimer) throw Failure(kOutOfMemory);
    log_.push_back("CreateTimer(" + std::to_string(intervalMs) + ")");
    const bool retry = intervalMs == ringwatch::kLineRetryIntervalMs;
    FakeTimer*& live = retry ? retryTimer : timer;
    auto made = std::make_unique<FakeTimer>(log_, clock, intervalMs, retry ? "Retry" : "Timer");
    made->onDestroyed = [this, retry, &live] {
      log_.push_back(retry ? "~Retry" : "~Timer");
      live = nullptr;
    };
    live = made.get();
    return made;
  }

 private:
  CallLog& log_;
};

}  // namespace hushcall::testing
