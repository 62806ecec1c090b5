// The ring watch's platform services on Windows: message boxes, the
// player's window and the message loop with its clock.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "ringwatch/core/event_pump.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/player_window.h"

namespace hushcall::ringwatch {

// MessageBoxW, owned by the window `owner` names when the box opens (none
// when it gives null or is empty); the owner is disabled while the box is
// up. Its own modal loop keeps dispatching the thread's posted messages, so
// serial and timer events go on arriving.
class Win32MessageBoxes final : public MessageBoxes {
 public:
  explicit Win32MessageBoxes(std::function<HWND()> owner = {}) : owner_(std::move(owner)) {}
  // The code (19, 48, 64) goes to the system unchanged; returns the pressed
  // button (0 if the box could not be shown).
  int Show(std::string_view text, std::string_view title, int code) override;
  // A visible box among the thread's windows: a dialog answered with
  // EndDialog hides at once, though its modal loop ends only when the boxes
  // opened inside it have returned.
  bool Unanswered(std::string_view text, std::string_view title) override;

 private:
  std::function<HWND()> owner_;
};

class Win32PlayerWindow final : public PlayerWindow {
 public:
  // A synchronous SendMessageA; the 32-bit handle and values travel as they
  // are, negative ones included.
  std::int32_t Send(std::int32_t hwnd, std::uint32_t msg, std::int32_t wParam,
                            std::int32_t lParam) override;
};

class Win32EventPump final : public EventPump {
 public:
  Win32EventPump();
  // Dispatches what waits in the thread's queue until it is empty. A quit
  // request ends the pumping and is posted again for the loop that owns it.
  void DoEvents() override;
  // From the performance counter.
  std::int64_t NowMs() override;

 private:
  LARGE_INTEGER frequency_{};
};

}  // namespace hushcall::ringwatch
