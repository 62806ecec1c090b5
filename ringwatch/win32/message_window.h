// A hidden message-only window that hands its messages to a sink on the
// thread that created it. The serial control and the ring timer each own one
// so that their events reach the user-interface thread through its message
// loop, including the loops of message boxes and modal dialogs.
#pragma once

#include <windows.h>

#include <memory>

#include "common/win32/unique.h"

namespace hushcall::ringwatch {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Application messages (WM_USER and above) and WM_TIMER. An exception
  // thrown here is dropped by the window procedure.
  virtual void OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
};

class MessageWindow {
 public:
  // Creates the window; throws Failure when the system refuses. The window
  // only holds a weak reference: while a message is delivered, the sink is
  // kept alive, so it may destroy this window (and its own owner) from
  // inside OnMessage.
  explicit MessageWindow(std::weak_ptr<MessageSink> sink);
  ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND hwnd() const { return hwnd_.get(); }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  // Lives on the heap so that the window's user data can point at it.
  std::unique_ptr<std::weak_ptr<MessageSink>> sink_;
  win32::unique_hwnd hwnd_;
};

}  // namespace hushcall::ringwatch
