// Fakes for the options dialog's collaborators. They all write into one
// shared log, so that a test can assert the exact order of what the dialog
// did to its view, its components, the ring watch and the message boxes.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "options/core/dialog_view.h"
#include "settings/settings.h"
#include "ringwatch/core/components.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/event_pump.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/player_window.h"

namespace hushcall::testing {

using Log = std::vector<std::string>;

inline std::string Name(ControlId id) {
  static const char* const kNames[kControlCount] = {
      "fraOptions", "optVolume", "optPause",   "optStop",  "fraVolume", "Label1",
      "sliVolume",  "txtVolume", "chkPercent", "Label2",   "txtCOMPort", "chkMsg",
      "chkEnabled", "cmdOK",     "cmdCancel",  "cmdApply", "cmdAbout"};
  return kNames[static_cast<int>(id)];
}

class FakeView final : public DialogView {
 public:
  explicit FakeView(Log& log) : log_(log) {}

  // The user's actions while the dialog is shown modally, run in order
  // while the dialog keeps showing. When they run out, RunModal returns
  // although the dialog still counts as shown, so that a test can go on
  // driving it.
  std::deque<std::function<void()>> duringModal;
  int sliderMax = 100;

  void Create(DialogEvents& events) override {
    log_.push_back("Create");
    events_ = &events;
    created_ = true;
  }
  void Destroy() override {
    log_.push_back("Destroy");
    events_ = nullptr;
    created_ = false;
    visible_ = false;
  }
  bool Created() const override { return created_; }
  void Centre() override { log_.push_back("Centre"); }
  void RunModal(const std::function<bool()>& keepShowing) override {
    log_.push_back("RunModal");
    visible_ = true;
    while (keepShowing() && !duringModal.empty()) {
      auto action = std::move(duringModal.front());
      duringModal.pop_front();
      action();
    }
    log_.push_back("RunModal returns");
  }
  void Hide() override {
    log_.push_back("Hide");
    visible_ = false;
  }
  bool Visible() const override { return visible_; }
  void SetTopmost(bool topmost) override {
    log_.push_back(std::string("SetTopmost ") + (topmost ? "1" : "0"));
  }
  std::int32_t WindowHandle() const override { return created_ ? 0x1234 : 0; }

  void ShowChecked(ControlId id, int value) override {
    log_.push_back("ShowChecked " + Name(id) + " " + std::to_string(value));
  }
  void ShowText(ControlId id, std::string_view text) override {
    log_.push_back("ShowText " + Name(id) + " " + std::string(text));
  }
  void ShowEnabled(ControlId id, bool enabled) override {
    log_.push_back("ShowEnabled " + Name(id) + " " + (enabled ? "1" : "0"));
  }
  void ShowSlider(int value) override { log_.push_back("ShowSlider " + std::to_string(value)); }
  int SliderMax() const override { return sliderMax; }
  void FocusAndSelectAll(ControlId id) override { log_.push_back("FocusAndSelectAll " + Name(id)); }

  // The events interface the dialog handed over at Create; null when the
  // window does not exist.
  DialogEvents* events() const { return events_; }

 private:
  Log& log_;
  DialogEvents* events_ = nullptr;
  bool created_ = false;
  bool visible_ = false;
};

class FakeSerialPort final : public ringwatch::SerialPort {
 public:
  FakeSerialPort(Log& log, FakeSerialPort*& live) : log_(log), live_(live) { live_ = this; }
  ~FakeSerialPort() override {
    log_.push_back("port destroyed");
    live_ = nullptr;
  }

  void SetCommPort(std::int16_t port) override { log_.push_back("CommPort " + std::to_string(port)); }
  bool PortOpen() const override { return open; }
  void SetPortOpen(bool value) override {
    log_.push_back(std::string("PortOpen ") + (value ? "1" : "0"));
    open = value;
  }
  void SetRThreshold(std::int16_t t) override { log_.push_back("RThreshold " + std::to_string(t)); }
  void SetOutput(std::string_view text) override { log_.push_back("Output " + std::string(text)); }
  std::string Input() override { return {}; }
  void SetOnComm(std::function<void()> handler) override { onComm_ = std::move(handler); }
  void WaitForInputOrMessage(int) override {}

  // Raises OnComm as the port's window would; the handler may destroy the
  // port, so it runs from a copy.
  void RaiseOnComm() {
    auto handler = onComm_;
    if (handler) handler();
  }

  bool open = false;

 private:
  Log& log_;
  FakeSerialPort*& live_;
  std::function<void()> onComm_;
};

class FakeTimer final : public ringwatch::Timer {
 public:
  FakeTimer(Log& log, FakeTimer*& live, int intervalMs)
      : intervalMs(intervalMs), log_(log), live_(live) {
    live_ = this;
  }
  ~FakeTimer() override {
    log_.push_back("timer destroyed");
    live_ = nullptr;
  }
  bool Enabled() const override { return enabled; }
  void SetEnabled(bool value) override { enabled = value; }
  void SetOnTimer(std::function<void()> handler) override { onTimer_ = std::move(handler); }
  void RaiseOnTimer() {
    auto handler = onTimer_;
    if (handler) handler();
  }

  const int intervalMs;
  bool enabled = false;

 private:
  Log& log_;
  FakeTimer*& live_;
  std::function<void()> onTimer_;
};

// Makes the fakes and keeps a pointer to the live ones (null once the dialog
// destroyed them).
class FakeComponents final : public ringwatch::ComponentFactory {
 public:
  explicit FakeComponents(Log& log) : log_(log) {}
  std::unique_ptr<ringwatch::SerialPort> CreateSerialPort() override {
    log_.push_back("port created");
    return std::make_unique<FakeSerialPort>(log_, port);
  }
  std::unique_ptr<ringwatch::Timer> CreateTimer(int intervalMs) override {
    if (failTimer) throw Failure(kOutOfMemory);
    log_.push_back("timer created " + std::to_string(intervalMs));
    return std::make_unique<FakeTimer>(log_, timer, intervalMs);
  }

  FakeSerialPort* port = nullptr;
  FakeTimer* timer = nullptr;
  bool failTimer = false;

 private:
  Log& log_;
};

class FakeMessageBoxes final : public ringwatch::MessageBoxes {
 public:
  explicit FakeMessageBoxes(Log& log) : log_(log) {}

  // Runs while the box is "open", as events delivered during its wait.
  std::function<void()> whileOpen;
  int answer = 1;
  std::vector<std::string> texts;

  int Show(std::string_view text, std::string_view title, int code) override {
    log_.push_back("MessageBox " + std::string(title) + " " + std::to_string(code));
    texts.emplace_back(text);
    if (whileOpen) {
      auto action = std::move(whileOpen);
      whileOpen = nullptr;
      action();
    }
    return answer;
  }

 private:
  Log& log_;
};

class FakeRingWatch final : public ringwatch::RingWatch {
 public:
  explicit FakeRingWatch(Log& log) : log_(log) {}

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

 private:
  Log& log_;
};

// The settings the dialog tests start from: the stored defaults, enabled.
inline void SetStartingSettings(Settings& settings) {
  settings.Action = kActionVolume;
  settings.Volume = 50;
  settings.Percent = false;
  settings.Popup = false;
  settings.Enabled = true;
  settings.COMPort = 1;
}

}  // namespace hushcall::testing
