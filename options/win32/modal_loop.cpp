// Showing the options dialog modally: the thread's other windows are
// disabled and a message loop runs until the model stops the showing.
#include <vector>

#include "options/win32/win32_dialog_view.h"

namespace hushcall {
namespace {

bool IsOwnedBy(HWND window, HWND owner) {
  for (HWND w = ::GetWindow(window, GW_OWNER); w; w = ::GetWindow(w, GW_OWNER)) {
    if (w == owner) return true;
  }
  return false;
}

// The windows disabled for one modal showing, enabled again when it ends
// (those that still exist), also when the showing ends by an exception.
class DisabledThreadWindows {
 public:
  explicit DisabledThreadWindows(HWND dialog) : dialog_(dialog) {
    ::EnumThreadWindows(::GetCurrentThreadId(), &DisabledThreadWindows::DisableOne,
                        reinterpret_cast<LPARAM>(this));
    for (HWND window : windows_) ::EnableWindow(window, FALSE);
  }
  ~DisabledThreadWindows() {
    for (HWND window : windows_) {
      if (::IsWindow(window)) ::EnableWindow(window, TRUE);
    }
  }
  DisabledThreadWindows(const DisabledThreadWindows&) = delete;
  DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

 private:
  static BOOL CALLBACK DisableOne(HWND window, LPARAM selfData) {
    auto* self = reinterpret_cast<DisabledThreadWindows*>(selfData);
    if (window != self->dialog_ && ::IsWindowVisible(window) && ::IsWindowEnabled(window) &&
        !IsOwnedBy(window, self->dialog_)) {
      self->windows_.push_back(window);
    }
    return TRUE;
  }

  HWND dialog_;
  std::vector<HWND> windows_;
};

}  // namespace

void Win32DialogView::RunModal(const std::function<bool()>& keepShowing) {
  HWND dialog = dialog_.get();
  if (!dialog) return;
  HWND previouslyActive = ::GetActiveWindow();
  ::ShowWindow(dialog, SW_SHOW);
  if (HWND ok = Control(ControlId::cmdOK); ok && ::IsWindowEnabled(ok)) {
    ::SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ok), TRUE);
  }
  {
    DisabledThreadWindows disabled(dialog);
    // The loop ends when the model says so, or when the window is gone
    // (an unload from inside a handler); the view state is read afresh on
    // every turn because a handler may have destroyed or recreated it.
    const auto showing = [&] {
      return dialog_.get() == dialog && ::IsWindow(dialog) && keepShowing();
    };
    while (showing()) {
      MSG message;
      if (!::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // PeekMessage has handled any sent message (a click sent by another
        // program, say), which may have hidden or unloaded the dialog: look
        // again before sleeping until the next message of any kind.
        if (!showing()) break;
        ::MsgWaitForMultipleObjectsEx(0, nullptr, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        continue;
      }
      if (message.message == WM_QUIT) {
        // WM_QUIT belongs to the outer loop: hand it back, with the dialog
        // hidden first. The showing ends and the windows it disabled are
        // enabled again; a dialog left on screen would no longer be modal.
        Hide();
        ::PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      if (dialog_.get() == dialog && ::IsDialogMessageW(dialog, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  // The windows were disabled while the dialog went away; give the
  // activation back to the window that had it.
  HWND active = ::GetActiveWindow();
  if ((!active || !::IsWindowVisible(active)) && previouslyActive && ::IsWindow(previouslyActive) &&
      ::IsWindowVisible(previouslyActive) && ::IsWindowEnabled(previouslyActive)) {
    ::SetActiveWindow(previouslyActive);
  }
}

}  // namespace hushcall
