// Fakes for the ring watch's seams. They all write into one shared call log,
// so a test can assert the exact order of port operations, waits, message
// boxes, dialog calls and player messages together.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "ringwatch/core/options_dialog.h"
#include "ringwatch/core/event_pump.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/player_window.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"

namespace hushcall::ringwatch::testing {

using CallLog = std::vector<std::string>;

// Fake monotonic time; only the fakes move it.
struct FakeClock {
  std::int64_t nowMs = 0;
};

// Readable form of text that holds CR and LF.
inline std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

// Operation names, as logged and as keys for FailOn: "RThreshold(0)",
// "CommPort(3)", "PortOpen=true", "PortOpen=false", "PortOpen?",
// "Output(ATZ\r)" (escaped), "Input", "Wait(10)".
class FakeSerialPort final : public SerialPort {
 public:
  FakeSerialPort(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}

  // Input's answers, one per read; reads past the script return "".
  std::deque<std::string> inputs;
  // Run inside the next waits, one per wait (an empty entry runs nothing).
  std::deque<std::function<void()>> duringWait;

  // The next `times` calls of `operation` fail (negative: all of them).
  void FailOn(const std::string& operation, int times = -1, Status status = kFail) {
    failures_[operation] = {times, status};
  }

  bool open() const { return open_; }
  std::int16_t threshold() const { return threshold_; }
  std::int16_t commPort() const { return commPort_; }
  std::string written() const { return written_; }
  void RaiseOnComm() {
    if (onComm_) onComm_();
  }

  void SetCommPort(std::int16_t port) override {
    Record("CommPort(" + std::to_string(port) + ")");
    commPort_ = port;
  }
  bool PortOpen() const override {
    const_cast<FakeSerialPort*>(this)->Record("PortOpen?");
    return open_;
  }
  void SetPortOpen(bool open) override {
    Record(open ? "PortOpen=true" : "PortOpen=false");
    open_ = open;
  }
  void SetRThreshold(std::int16_t threshold) override {
    Record("RThreshold(" + std::to_string(threshold) + ")");
    threshold_ = threshold;
  }
  void SetOutput(std::string_view text) override {
    Record("Output(" + Escaped(text) + ")");
    written_.append(text);
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
  bool open_ = false;
  std::int16_t threshold_ = 0;
  std::int16_t commPort_ = 1;
  std::string written_;
  std::function<void()> onComm_;
};

// A timer on fake time: Advance delivers every expiry that falls due.
class FakeTimer final : public Timer {
 public:
  FakeTimer(CallLog& log, FakeClock& clock, int intervalMs = kRingTimerIntervalMs)
      : log_(log), clock_(clock), intervalMs_(intervalMs) {}

  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
    log_.push_back(enabled ? "Timer=true" : "Timer=false");
    if (enabled) startedMs_ = clock_.nowMs;  // (re)starting begins the count anew
    enabled_ = enabled;
  }
  void SetOnTimer(std::function<void()> handler) override { onTimer_ = std::move(handler); }

  // Moves the clock on by `ms`, raising the expiry event at each due time.
  void Advance(std::int64_t ms) {
    const std::int64_t end = clock_.nowMs + ms;
    while (enabled_ && startedMs_ + intervalMs_ <= end) {
      clock_.nowMs = startedMs_ + intervalMs_;
      startedMs_ = clock_.nowMs;
      log_.push_back("Timer expired");
      if (onTimer_) onTimer_();
    }
    clock_.nowMs = end;
  }

 private:
  CallLog& log_;
  FakeClock& clock_;
  int intervalMs_;
  bool enabled_ = false;
  std::int64_t startedMs_ = 0;
  std::function<void()> onTimer_;
};

// One scripted press of a message box, with events to run while it is shown.
struct BoxAnswer {
  int answer;
  std::function<void()> whileShown = {};
};

class FakeMessageBoxes final : public MessageBoxes {
 public:
  explicit FakeMessageBoxes(CallLog& log) : log_(log) {}

  std::deque<BoxAnswer> answers;  // past the script every box answers OK (1)

  struct Shown {
    std::string text;
    std::string title;
    int code;
  };
  std::vector<Shown> shown;

  int Show(std::string_view text, std::string_view title, int code) override {
    log_.push_back("Box(" + std::to_string(code) + ")");
    shown.push_back({std::string(text), std::string(title), code});
    if (answers.empty()) return 1;
    BoxAnswer next = std::move(answers.front());
    answers.pop_front();
    if (next.whileShown) next.whileShown();
    return next.answer;
  }

 private:
  CallLog& log_;
};

struct PlayerMessage {
  std::int32_t hwnd;
  std::uint32_t msg;
  std::int32_t wParam;
  std::int32_t lParam;
  bool operator==(const PlayerMessage&) const = default;
};

class FakePlayer final : public PlayerWindow {
 public:
  explicit FakePlayer(CallLog& log) : log_(log) {}

  std::deque<std::int32_t> answers;  // one per message; 0 past the script
  std::vector<PlayerMessage> messages;

  std::int32_t Send(std::int32_t hwnd, std::uint32_t msg, std::int32_t wParam,
                            std::int32_t lParam) override {
    log_.push_back("Send(" + std::to_string(msg) + "," + std::to_string(wParam) + "," +
                   std::to_string(lParam) + ")");
    messages.push_back({hwnd, msg, wParam, lParam});
    if (answers.empty()) return 0;
    const std::int32_t answer = answers.front();
    answers.pop_front();
    return answer;
  }

 private:
  CallLog& log_;
};

class FakePump final : public EventPump {
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

// The dialog with its two components; unloading destroys them.
class FakeOptionsDialog final : public OptionsDialog {
 public:
  FakeOptionsDialog(CallLog& log, FakeClock& clock) : log_(log), clock_(clock) {}

  // Run by ShowModal while "shown", before it returns.
  std::function<void()> whileModal;
  // Run by Load after the components exist, as Form_Load would.
  std::function<void()> onLoad;

  FakeSerialPort* port() { return port_.get(); }
  FakeTimer* timer() { return timer_.get(); }

  bool Loaded() const override { return port_ != nullptr; }
  void Load() override {
    if (Loaded()) return;
    log_.push_back("Load");
    port_ = std::make_unique<FakeSerialPort>(log_, clock_);
    timer_ = std::make_unique<FakeTimer>(log_, clock_);
    ++generation_;
    if (onLoad) onLoad();
  }
  void ShowModal() override {
    log_.push_back("ShowModal");
    Load();
    visible_ = true;
    if (whileModal) whileModal();
    visible_ = false;
  }
  void Unload() override {
    if (!Loaded()) return;
    log_.push_back("Unload");
    port_.reset();
    timer_.reset();
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
  SerialPort* Port() override { return port_.get(); }
  Timer* RingTimer() override { return timer_.get(); }
  std::uint64_t LoadGeneration() const override { return generation_; }

  void SetVisible(bool visible) { visible_ = visible; }

 private:
  CallLog& log_;
  FakeClock& clock_;
  std::unique_ptr<FakeSerialPort> port_;
  std::unique_ptr<FakeTimer> timer_;
  bool visible_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace hushcall::ringwatch::testing
