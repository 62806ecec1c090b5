// The small platform services the ring watch needs besides its components.
#pragma once

#include <cstdint>
#include <string_view>

namespace hushcall::ringwatch {

// Message box button codes and the answers the ring watch reads.
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

// The player's main window, reached only by synchronous window messages.
class PlayerWindow {
 public:
  virtual ~PlayerWindow() = default;
  virtual std::int32_t SendMessageA(std::int32_t hwnd, std::uint32_t msg, std::int32_t wParam,
                                    std::int32_t lParam) = 0;
};

// The message loop and the clock, as a wait sees them.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Delivers every event already pending, then returns.
  virtual void DoEvents() = 0;
  // Milliseconds on a monotonic clock.
  virtual std::int64_t NowMs() = 0;
};

}  // namespace hushcall::ringwatch
