// A DialogEvents fake that records what the view reported, in order, as
// readable lines ("clicked cmdOK", "text txtVolume=12"), and can run a
// reaction on any of them, as the model's handlers would.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "options/core/dialog_view.h"
#include "options/core/tests/control_names.h"

namespace hushcall::testing {

class RecordingEvents : public DialogEvents {
 public:
  std::vector<std::string> calls;
  // Runs after each call is recorded, with the recorded line.
  std::function<void(const std::string&)> onCall;

  void UserClicked(ControlId id) override { Record("clicked " + Name(id)); }
  void UserChangedText(ControlId id, std::string_view text) override {
    Record("text " + Name(id) + "=" + std::string(text));
  }
  void UserMovedSlider(int value) override { Record("slider " + std::to_string(value)); }
  void UserClickedSlider() override { Record("slider click"); }
  void UserLeftText(ControlId id) override { Record("left " + Name(id)); }
  void UserTypedChar(ControlId id, std::int16_t code) override {
    Record("char " + Name(id) + " " + std::to_string(code));
  }
  void UserClosed() override { Record("closed"); }

 private:
  void Record(std::string line) {
    calls.push_back(line);
    if (onCall) onCall(line);
  }
};

}  // namespace hushcall::testing
