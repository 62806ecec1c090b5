// The options dialog as the ring watch and the plug-in see it: its
// components, made on load and destroyed on unload. Every call is logged
// ("Load", "ShowModal", "Unload", "Visible?", "Hide"), even one that finds
// nothing to do.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "ringwatch/core/options_dialog.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/fake_timer.h"

namespace hushcall::testing {

class FakeOptionsDialog final : public ringwatch::OptionsDialog {
 public:
  FakeOptionsDialog(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}

  // Run when the components come to exist, as Form_Load would.
  std::function<void()> onLoad;
  // Run by ShowModal while "shown", before it returns.
  std::function<void()> whileModal;
  // Run by Unload before the components go, as Form_Unload would.
  std::function<void()> onUnload;

  FakeSerialPort* port() { return port_.get(); }
  FakeTimer* timer() { return timer_.get(); }
  FakeTimer* retryTimer() { return retry_.get(); }

  bool Loaded() const override { return port_ != nullptr; }
  void Load() override {
    log_.push_back("Load");
    MakeComponents();
  }
  void ShowModal() override {
    log_.push_back("ShowModal");
    MakeComponents();
    visible_ = true;
    if (whileModal) whileModal();
    visible_ = false;
  }
  void Unload() override {
    log_.push_back("Unload");
    if (onUnload) onUnload();
    if (!Loaded()) return;
    port_.reset();
    timer_.reset();
    retry_.reset();
    visible_ = false;
    ++generation_;
  }
  bool Visible() const override {
    log_.push_back("Visible?");
    return visible_;
  }
  void Hide() override {
    log_.push_back("Hide");
    visible_ = false;
  }
  ringwatch::SerialPort* Port() override { return port_.get(); }
  ringwatch::Timer* RingTimer() override { return timer_.get(); }
  ringwatch::Timer* RetryTimer() override { return retry_.get(); }
  std::uint64_t LoadGeneration() const override { return generation_; }

  void SetVisible(bool visible) { visible_ = visible; }

 private:
  void MakeComponents() {
    if (Loaded()) return;
    port_ = std::make_unique<FakeSerialPort>(log_, clock_);
    timer_ = std::make_unique<FakeTimer>(log_, clock_);
    retry_ = std::make_unique<FakeTimer>(log_, clock_, ringwatch::kLineRetryIntervalMs, "Retry");
    ++generation_;
    if (onLoad) onLoad();
  }

  CallLog& log_;
  FakeClock& clock_;
  std::unique_ptr<FakeSerialPort> port_;
  std::unique_ptr<FakeTimer> timer_;
  std::unique_ptr<FakeTimer> retry_;
  bool visible_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace hushcall::testing
