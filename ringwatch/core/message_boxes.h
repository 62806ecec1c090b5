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
};

}  // namespace hushcall::ringwatch
