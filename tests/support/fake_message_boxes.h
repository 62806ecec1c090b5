// Message boxes that log "Box(code)", keep what they showed and answer from
// a script, running events while a box is shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/core/message_boxes.h"
#include "tests/support/call_log.h"

namespace hushcall::testing {

inline constexpr int kIdOk = 1;

// One scripted press of a message box, with events to run while it is shown:
// before the press, or after it when `pressedFirst` (a box answered while a
// box opened inside it is still up).
struct BoxAnswer {
  int answer;
  std::function<void()> whileShown = {};
  bool pressedFirst = false;
};

class FakeMessageBoxes final : public ringwatch::MessageBoxes {
 public:
  explicit FakeMessageBoxes(CallLog& log) : log_(log) {}

  std::deque<BoxAnswer> answers;  // past the script every box answers OK

  struct Shown {
    std::string text;
    std::string title;
    int code;
  };
  std::vector<Shown> shown;

  int Show(std::string_view text, std::string_view title, int code) override {
    log_.push_back("Box(" + std::to_string(code) + ")");
    shown.push_back({std::string(text), std::string(title), code});
    if (answers.empty()) return kIdOk;
    BoxAnswer next = std::move(answers.front());
    answers.pop_front();
    if (!next.pressedFirst) up_.push_back(shown.back());
    const struct Pressed {
      std::vector<Shown>* up;
      ~Pressed() {
        if (up) up->pop_back();
      }
    } pressed{next.pressedFirst ? nullptr : &up_};  // also when an event throws
    if (next.whileShown) next.whileShown();
    return next.answer;
  }

  bool Unanswered(std::string_view text, std::string_view title) override {
    for (const Shown& box : up_)
      if (box.text == text && box.title == title) return true;
    return false;
  }

 private:
  CallLog& log_;
  std::vector<Shown> up_;  // shown, waiting in whileShown, not yet pressed
};

}  // namespace hushcall::testing
