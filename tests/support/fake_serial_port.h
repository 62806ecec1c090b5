// A serial port on fake time that logs every operation and can be told to
// fail any of them.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "common/status.h"
#include "ringwatch/core/serial_port.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"

namespace hushcall::testing {

// Operations, as logged and as keys for FailOn: "RThreshold(0)",
// "CommPort(3)", "PortOpen=true", "PortOpen=false", "PortOpen?",
// "Output(ATZ\r)" (escaped), "Input", "Wait(10)".
class FakeSerialPort final : public ringwatch::SerialPort {
 public:
  FakeSerialPort(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}
  ~FakeSerialPort() override {
    if (onDestroyed) onDestroyed();
  }

  // Input's answers, one per read; reads past the script return "".
  std::deque<std::string> inputs;
  // Run inside the next waits, one per wait (an empty entry runs nothing).
  std::deque<std::function<void()>> duringWait;
  // Run by the destructor, for whoever made the port.
  std::function<void()> onDestroyed;

  // The state the operations left; a test may also set it directly.
  bool open = false;
  std::int16_t threshold = 0;
  std::int16_t commPort = 1;
  std::string written;

  // The next `times` calls of `operation` fail (negative: all of them).
  void FailOn(const std::string& operation, int times = -1, Status status = kFail) {
    failures_[operation] = {times, status};
  }

  // Raises OnComm as the port's window would; the handler may destroy the
  // port, so it runs from a copy.
  void RaiseOnComm() {
    auto handler = onComm_;
    if (handler) handler();
  }

  void SetCommPort(std::int16_t port) override {
    Record("CommPort(" + std::to_string(port) + ")");
    commPort = port;
  }
  std::string Name() const override { return "COM" + std::to_string(commPort); }
  bool PortOpen() const override {
    const_cast<FakeSerialPort*>(this)->Record("PortOpen?");
    return open;
  }
  void SetPortOpen(bool value) override {
    Record(value ? "PortOpen=true" : "PortOpen=false");
    open = value;
  }
  void SetRThreshold(std::int16_t value) override {
    Record("RThreshold(" + std::to_string(value) + ")");
    threshold = value;
  }
  void SetOutput(std::string_view text) override {
    Record("Output(" + Escaped(text) + ")");
    written.append(text);
  }
  std::string Input() override {
    Record("Input");
    if (inputs.empty()) return {};
    std::string text = std::move(inputs.front());
    inputs.pop_front();
    return text;
  }
  void SetOnComm(std::function<void()> handler) override { onComm_ = std::move(handler); }
  void WaitForInputOrMessage(int maxMs) override {
    Record("Wait(" + std::to_string(maxMs) + ")");
    clock_.nowMs += maxMs;
    if (duringWait.empty()) return;
    auto nested = std::move(duringWait.front());
    duringWait.pop_front();
    if (nested) nested();  // may destroy this port: touch nothing after it
  }

 private:
  struct Failing {
    int times;
    Status status;
  };

  void Record(const std::string& operation) {
    log_.push_back(operation);
    auto it = failures_.find(operation);
    if (it == failures_.end() || it->second.times == 0) return;
    if (it->second.times > 0) --it->second.times;
    Fail(it->second.status);
  }

  CallLog& log_;
  FakeClock& clock_;
  std::map<std::string, Failing> failures_;
  std::function<void()> onComm_;
};

}  // namespace hushcall::testing
