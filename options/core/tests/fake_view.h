// The dialog's window as the model sees it, logging what the model shows
// ("ShowText(txtVolume,50)", "SetTopmost(true)") into the shared call log.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "options/core/dialog_view.h"
#include "options/core/tests/control_names.h"
#include "tests/support/call_log.h"

namespace hushcall::testing {

class FakeView final : public DialogView {
 public:
  explicit FakeView(CallLog& log) : log_(log) {}

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
    log_.push_back(topmost ? "SetTopmost(true)" : "SetTopmost(false)");
  }
  std::int32_t WindowHandle() const override { return created_ ? 0x1234 : 0; }

  void ShowChecked(ControlId id, int value) override {
    log_.push_back("ShowChecked(" + Name(id) + "," + std::to_string(value) + ")");
  }
  void ShowText(ControlId id, std::string_view text) override {
    log_.push_back("ShowText(" + Name(id) + "," + std::string(text) + ")");
  }
  void ShowEnabled(ControlId id, bool enabled) override {
    log_.push_back("ShowEnabled(" + Name(id) + (enabled ? ",true)" : ",false)"));
  }
  void ShowSlider(int value) override {
    log_.push_back("ShowSlider(" + std::to_string(value) + ")");
  }
  int SliderMax() const override { return sliderMax; }
  void FocusAndSelectAll(ControlId id) override {
    log_.push_back("FocusAndSelectAll(" + Name(id) + ")");
  }

  // The events interface the dialog handed over at Create; null when the
  // window does not exist.
  DialogEvents* events() const { return events_; }

 private:
  CallLog& log_;
  DialogEvents* events_ = nullptr;
  bool created_ = false;
  bool visible_ = false;
};

}  // namespace hushcall::testing
