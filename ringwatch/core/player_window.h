// The player's main window, as the reaction reaches it.
#pragma once

#include <cstdint>

namespace hushcall::ringwatch {

class PlayerWindow {
 public:
  virtual ~PlayerWindow() = default;
  // A synchronous window message; returns the player's answer.
  virtual std::int32_t Send(std::int32_t hwnd, std::uint32_t msg, std::int32_t wParam,
                            std::int32_t lParam) = 0;
};

}  // namespace hushcall::ringwatch
