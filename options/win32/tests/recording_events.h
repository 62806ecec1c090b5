// A DialogEvents fake that records what the view reported, in order, as
// readable lines ("clicked cmdOK", "text txtVolume=12"), and can run a
// reaction on any of them, as the model's handlers would.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "options/core/dialog_view.h"

namespace hushcall::testing {

inline const char* NameOf(ControlId id) {
  static const char* const kNames[] = {"fraOptions", "optVolume", "optPause",   "optStop",    "fraVolume",
                                       "Label1",     "sliVolume", "txtVolume",  "chkPercent", "Label2",
                                       "txtCOMPort", "chkMsg",    "chkEnabled", "cmdOK",      "cmdCancel",
                                       "cmdApply",   "cmdAbout"};
  return kNames[static_cast<int>(id)];
}

class RecordingEvents : public DialogEvents {
 public:
  std::vector<std::string> calls;
  // Runs after each call is recorded, with the recorded line.
  std::function<void(const std::string&)> onCall;

  void UserClicked(ControlId id) override { Record(std::string("clicked ") + NameOf(id)); }
  void UserChangedText(ControlId id, std::string_view text) override {
    Record(std::string("text ") + NameOf(id) + "=" + std::string(text));
  }
  void UserMovedSlider(int value) override { Record("slider " + std::to_string(value)); }
  void UserClickedSlider() override { Record("slider click"); }
  void UserLeftText(ControlId id) override { Record(std::string("left ") + NameOf(id)); }
  void UserTypedChar(ControlId id, std::int16_t code) override {
    Record(std::string("char ") + NameOf(id) + " " + std::to_string(code));
  }
  void UserClosed() override { Record("closed"); }

 private:
  void Record(std::string line) {
    calls.push_back(line);
    if (onCall) onCall(line);
  }
};

}  // namespace hushcall::testing
