// Message boxes, as the ring watch and the dialog show them.
#pragma once

#include <string_view>

namespace hushcall::ringwatch {

// Button-and-icon codes, and the answers read back.
inline constexpr int kMbCriticalYesNoCancel = 19;  // 16 | 3
inline constexpr int kMbExclamationOk = 48;
inline constexpr int kMbInformationOk = 64;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;
inline constexpr int kIdCancel = 2;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows a modal message box and returns the pressed button's code. Events
  // keep being delivered while it waits.
  virtual int Show(std::string_view text, std::string_view title, int code) = 0;
  // Whether a box of this thread's with this text and title is on screen,
  // unanswered. A box answered while another box opened inside it is still
  // up has been answered, though its Show returns only after the inner one.
  virtual bool Unanswered(std::string_view text, std::string_view title) = 0;
};

}  // namespace hushcall::ringwatch
