// The ring watch as the dialog sees it: logs each call, and "InitModem
// returns" once the modem wait is over.
#pragma once

#include <functional>

#include "ringwatch/core/ring_watch.h"
#include "tests/support/call_log.h"

namespace hushcall::testing {

class FakeRingWatch final : public ringwatch::RingWatch {
 public:
  explicit FakeRingWatch(CallLog& log) : log_(log) {}

  // Runs inside the next InitModem, as events delivered during its wait.
  std::function<void()> whileWaiting;
  int initModemCalls = 0;

  void InitModem() override {
    ++initModemCalls;
    log_.push_back("InitModem");
    if (whileWaiting) {
      auto action = std::move(whileWaiting);
      whileWaiting = nullptr;
      action();
    }
    log_.push_back("InitModem returns");
  }
  // Runs inside every receive event.
  std::function<void()> onComm;

  void MSComm1_OnComm() override {
    log_.push_back("MSComm1_OnComm");
    if (onComm) onComm();
  }
  void tmrRING_Timer() override { log_.push_back("tmrRING_Timer"); }
  void tmrRetry_Timer() override { log_.push_back("tmrRetry_Timer"); }

 private:
  CallLog& log_;
};

}  // namespace hushcall::testing
