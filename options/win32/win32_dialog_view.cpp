// The options dialog's window: creation, the model's mirrors, and the
// controls' notifications turned into DialogEvents.
#include "options/win32/win32_dialog_view.h"

#include <commctrl.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <string>
#include <utility>

#include "common/status.h"
#include "common/win32/utf.h"
#include "common/win32/window_text.h"
#include "options/win32/centring.h"
#include "options/win32/control_ids.h"
#include "options/win32/set_topmost.h"

namespace hushcall {
namespace {

// A dialog template with no controls: the controls are built in code. The
// dialog class brings Tab, Escape and access-key handling, the button face
// background and the saving of the focus across deactivation.
struct EmptyDialogTemplate {
  DLGTEMPLATE header;
  WORD menu;
  WORD windowClass;
  wchar_t title[sizeof(kOptionsDialogCaption) / sizeof(wchar_t)];
};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;

bool IsButton(HWND control) {
  wchar_t name[16] = {};
  ::GetClassNameW(control, name, 16);
  return ::lstrcmpiW(name, L"Button") == 0;
}

bool IsPushButton(HWND control) {
  const LONG type = ::GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  return IsButton(control) && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

}  // namespace

Win32DialogView::Win32DialogView(HINSTANCE instance) : instance_(instance) {
  INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  ::InitCommonControlsEx(&classes);
}

Win32DialogView::~Win32DialogView() { Destroy(); }

void Win32DialogView::Create(DialogEvents& events) {
  if (Created()) return;
  events_ = &events;
  controls_.fill(nullptr);
  mirroring_ = 0;

  // An owned window gets no taskbar button; the owner itself is never shown.
  owner_.reset(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_, nullptr));
  if (!owner_) Fail(StatusFromWin32(::GetLastError()));

  alignas(DWORD) EmptyDialogTemplate dialogTemplate{};
  dialogTemplate.header.style = kDialogStyle;
  std::copy(std::begin(kOptionsDialogCaption), std::end(kOptionsDialogCaption), dialogTemplate.title);
  HWND dialog = ::CreateDialogIndirectParamW(instance_, &dialogTemplate.header, owner_.get(), DialogProc,
                                             reinterpret_cast<LPARAM>(this));
  if (!dialog) {
    const DWORD error = ::GetLastError();
    owner_.reset();
    Fail(StatusFromWin32(error));
  }
  dialog_.reset(dialog);
  try {
    CreateControls();
  } catch (...) {
    Destroy();
    throw;
  }
}

// The tips go before the controls they subclass (TTF_SUBCLASS): destroying
// the tips takes their subclass off each control, which can't be done once
// the control is gone. Under Wine 8 a subclass still on a control when it is
// destroyed stays allocated (two 16-byte blocks a tool), so every build and
// teardown of the dialog in the other order kept about 500 bytes.
void Win32DialogView::DestroyToolTips() {
  if (HWND tips = std::exchange(toolTips_, nullptr)) ::DestroyWindow(tips);
}

void Win32DialogView::Destroy() {
  // Safe from inside one of the dialog's own notifications: the window
  // procedure touches no view state after handing an event to the model,
  // and WM_NCDESTROY empties the handles below.
  DestroyToolTips();
  dialog_.reset();
  owner_.reset();
  toolTips_ = nullptr;
  controls_.fill(nullptr);
}

bool Win32DialogView::Created() const { return static_cast<bool>(dialog_); }

void Win32DialogView::Centre() {
  HWND dialog = dialog_.get();
  if (!dialog) return;
  RECT frame{};
  ::GetWindowRect(dialog, &frame);
  const WindowOrigin origin = CentredOrigin(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                                            frame.right - frame.left, frame.bottom - frame.top, dpiX_, dpiY_);
  ::SetWindowPos(dialog, nullptr, origin.left, origin.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32DialogView::Hide() {
  if (dialog_) ::ShowWindow(dialog_.get(), SW_HIDE);
}

bool Win32DialogView::Visible() const { return dialog_ && ::IsWindowVisible(dialog_.get()); }

void Win32DialogView::SetTopmost(bool topmost) {
  if (dialog_) hushcall::SetTopmost(dialog_.get(), topmost);
}

std::int32_t Win32DialogView::WindowHandle() const {
  return static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(dialog_.get()));
}

HWND Win32DialogView::Control(ControlId id) const { return controls_[static_cast<size_t>(id)]; }

void Win32DialogView::ShowChecked(ControlId id, int value) {
  HWND control = Control(id);
  if (!control) return;
  const WPARAM state = value == 0 ? BST_UNCHECKED : value == 2 ? BST_INDETERMINATE : BST_CHECKED;
  ::SendMessageW(control, BM_SETCHECK, state, 0);
  MoveOptionTabStop();
}

void Win32DialogView::ShowText(ControlId id, std::string_view text) {
  HWND control = Control(id);
  if (!control) return;
  const std::wstring wide = win32::WidenUtf8(text);
  ++mirroring_;
  ::SetWindowTextW(control, wide.c_str());
  --mirroring_;
}

void Win32DialogView::ShowEnabled(ControlId id, bool enabled) {
  if (HWND control = Control(id)) ::EnableWindow(control, enabled);
}

void Win32DialogView::ShowSlider(int value) {
  // TBM_SETPOS does not notify: the model raises its own handler.
  if (HWND slider = Control(ControlId::sliVolume)) ::SendMessageW(slider, TBM_SETPOS, TRUE, value);
}

int Win32DialogView::SliderMax() const {
  HWND slider = Control(ControlId::sliVolume);
  return slider ? static_cast<int>(::SendMessageW(slider, TBM_GETRANGEMAX, 0, 0)) : 100;
}

void Win32DialogView::FocusAndSelectAll(ControlId id) {
  HWND control = Control(id);
  if (!control || !dialog_) return;
  ::SendMessageW(dialog_.get(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  ::SendMessageW(control, EM_SETSEL, 0, -1);
}

void Win32DialogView::MoveOptionTabStop() {
  for (ControlId id : {ControlId::optVolume, ControlId::optPause, ControlId::optStop}) {
    HWND option = Control(id);
    if (!option) continue;
    LONG style = ::GetWindowLongW(option, GWL_STYLE);
    const bool selected = ::SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED;
    style = selected ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    ::SetWindowLongW(option, GWL_STYLE, style);
  }
}

bool Win32DialogView::FindControl(HWND window, ControlId* id) const {
  if (!window) return false;
  const int index = ::GetDlgCtrlID(window) - kFirstControlWindowId;
  if (index < 0 || index >= kControlCount || controls_[static_cast<size_t>(index)] != window) return false;
  *id = static_cast<ControlId>(index);
  return true;
}

// ---- notifications ------------------------------------------------------

INT_PTR CALLBACK Win32DialogView::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    return FALSE;  // the focus is placed when the dialog is shown
  }
  auto* self = reinterpret_cast<Win32DialogView*>(::GetWindowLongPtrW(dialog, DWLP_USER));
  if (!self) return FALSE;
  // Destroyed from outside Destroy(): the tips still go before the controls.
  if (message == WM_DESTROY && self->dialog_.get() == dialog) self->DestroyToolTips();
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
    if (self->dialog_.get() == dialog) {
      self->dialog_.release();
      self->toolTips_ = nullptr;
      self->controls_.fill(nullptr);
    }
    return FALSE;
  }
  // Nothing the model throws goes past the window procedure.
  try {
    return self->OnMessage(message, wParam, lParam);
  } catch (...) {
    return TRUE;
  }
}

INT_PTR Win32DialogView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_HSCROLL:
      OnHScroll(reinterpret_cast<HWND>(lParam));
      return TRUE;
    case DM_GETDEFID:
      // No default button: Enter presses only a focused button (OnCommand).
      ::SetWindowLongPtrW(dialog_.get(), DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_CLOSE:
      // The close box and Alt+F4 only tell the model; the window stays.
      ::SetWindowLongPtrW(dialog_.get(), DWLP_MSGRESULT, 0);
      events_->UserClosed();
      return TRUE;
    default:
      return FALSE;
  }
}

bool Win32DialogView::OnCommand(int windowId, int code, HWND control) {
  if (windowId == IDCANCEL) {
    // Escape, wherever the focus is, presses Cancel while Cancel can be pressed.
    HWND cancel = Control(ControlId::cmdCancel);
    if (cancel && ::IsWindowEnabled(cancel) && ::IsWindowVisible(dialog_.get())) {
      events_->UserClicked(ControlId::cmdCancel);
    }
    return true;
  }
  if (windowId == IDOK) {
    // Enter with no default button: it presses the focused button, if any.
    ControlId focused;
    HWND focus = ::GetFocus();
    if (FindControl(focus, &focused) && IsPushButton(focus) && ::IsWindowEnabled(focus)) {
      events_->UserClicked(focused);
    }
    return true;
  }
  ControlId id;
  if (!FindControl(control, &id)) return false;
  switch (code) {
    case BN_CLICKED:
      if (!IsButton(control)) return true;  // only buttons are clicked
      if (id == ControlId::optVolume || id == ControlId::optPause || id == ControlId::optStop) {
        MoveOptionTabStop();
      }
      events_->UserClicked(id);
      return true;
    case EN_CHANGE:
      if (mirroring_ == 0) events_->UserChangedText(id, win32::NarrowToUtf8(win32::WindowText(control)));
      return true;
    case EN_KILLFOCUS:
      events_->UserLeftText(id);
      return true;
    default:
      return false;
  }
}

void Win32DialogView::OnHScroll(HWND control) {
  if (!control || control != Control(ControlId::sliVolume)) return;
  // Every movement is reported; the model ignores a value it already holds.
  events_->UserMovedSlider(static_cast<int>(::SendMessageW(control, TBM_GETPOS, 0, 0)));
}

LRESULT CALLBACK Win32DialogView::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR subclassId, DWORD_PTR selfData) {
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(control, ControlProc, subclassId);
    return ::DefSubclassProc(control, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<Win32DialogView*>(selfData);
  ControlId id;
  if (!self->FindControl(control, &id)) return ::DefSubclassProc(control, message, wParam, lParam);
  try {
    return self->OnControlMessage(control, id, message, wParam, lParam);
  } catch (...) {
    return 0;
  }
}

LRESULT Win32DialogView::OnControlMessage(HWND control, ControlId id, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  switch (message) {
    case WM_GETDLGCODE: {
      // The volume text takes Enter itself instead of the dialog manager.
      LRESULT code = ::DefSubclassProc(control, message, wParam, lParam);
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (id == ControlId::txtVolume && key && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
        code |= DLGC_WANTMESSAGE;
      }
      return code;
    }
    case WM_CHAR:
      if (id == ControlId::txtVolume || id == ControlId::txtCOMPort) {
        // The model sees the key first; then the box gets it unchanged.
        events_->UserTypedChar(id, static_cast<std::int16_t>(wParam));
        if (!::IsWindow(control)) return 0;
      }
      return ::DefSubclassProc(control, message, wParam, lParam);
    case WM_LBUTTONUP:
      if (id == ControlId::sliVolume) {
        // The track bar moves (and notifies) first; the click comes after.
        LRESULT result = ::DefSubclassProc(control, message, wParam, lParam);
        events_->UserClickedSlider();
        return result;
      }
      return ::DefSubclassProc(control, message, wParam, lParam);
    default:
      return ::DefSubclassProc(control, message, wParam, lParam);
  }
}

}  // namespace hushcall
