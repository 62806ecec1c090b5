// Building the options dialog's controls from the layout table.
#include <windows.h>

#include <commctrl.h>

#include "common/status.h"
#include "options/win32/control_ids.h"
#include "options/win32/layout.h"
#include "options/win32/win32_dialog_view.h"

namespace hushcall {
namespace {

struct WindowStyle {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

// Every control but the second and third option buttons starts a group, so
// the arrow keys move only among the option buttons.
WindowStyle StyleOf(const ControlLayout& c) {
  switch (c.windowClass) {
    case ControlClass::frame:
      return {L"BUTTON", BS_GROUPBOX | WS_GROUP, 0};
    case ControlClass::optionButton:
      return {L"BUTTON", static_cast<DWORD>(BS_AUTORADIOBUTTON | (c.id == ControlId::optVolume ? WS_GROUP : 0)),
              0};
    case ControlClass::checkBox:
      return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0};
    case ControlClass::textBox:
      // Without ES_AUTOHSCROLL a single-line edit stops at its width.
      return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP | WS_GROUP, WS_EX_CLIENTEDGE};
    case ControlClass::label:
      // One line, cut at the label's edge, when the font is wider than the
      // design's: a wrapped second line would be cut in half.
      return {L"STATIC", SS_LEFTNOWORDWRAP | WS_GROUP, 0};
    case ControlClass::commandButton:
      return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 0};
    case ControlClass::slider:
      return {TRACKBAR_CLASSW, TBS_HORZ | TBS_NOTICKS | WS_TABSTOP | WS_GROUP, 0};
  }
  return {L"STATIC", 0, 0};
}

}  // namespace

void Win32DialogView::CreateControls() {
  HDC screen = ::GetDC(nullptr);
  dpiX_ = ::GetDeviceCaps(screen, LOGPIXELSX);
  dpiY_ = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  SizeClientArea();

  HWND dialog = dialog_.get();
  const auto font = reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT));
  // The tips belong to the hidden owner rather than to the dialog, and are
  // not made topmost here (they make themselves so when they pop up): under
  // Wine a window that owns a topmost popup can't be made topmost, and one
  // whose owner owns a topmost popup can't be made not topmost.
  toolTips_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner_.get(), nullptr, instance_,
                                nullptr);
  if (!toolTips_) Fail(StatusFromWin32(::GetLastError()));
  ::SendMessageW(toolTips_, WM_SETFONT, font, FALSE);

  for (const ControlLayout& c : OptionsLayout()) {
    const WindowStyle made = StyleOf(c);
    const PixelRect place = ClientPixels(c.id, dpiX_, dpiY_);
    DWORD style = WS_CHILD | WS_VISIBLE | made.style | (c.enabled ? 0 : WS_DISABLED);
    if (c.windowClass == ControlClass::optionButton && c.checked) style |= WS_TABSTOP;
    HWND control = ::CreateWindowExW(made.exStyle, made.windowClass, c.text, style, place.left, place.top,
                                     place.width, place.height, dialog,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlWindowId(c.id))),
                                     instance_, nullptr);
    if (!control) Fail(StatusFromWin32(::GetLastError()));
    controls_[static_cast<size_t>(c.id)] = control;
    ::SendMessageW(control, WM_SETFONT, font, FALSE);

    switch (c.windowClass) {
      case ControlClass::optionButton:
      case ControlClass::checkBox:
        ::SendMessageW(control, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case ControlClass::textBox:
        ::SendMessageW(control, EM_SETLIMITTEXT, 0, 0);  // 0: as long as the system allows
        ::SetWindowSubclass(control, ControlProc, 1, reinterpret_cast<DWORD_PTR>(this));
        break;
      case ControlClass::slider:
        ::SendMessageW(control, TBM_SETRANGEMIN, FALSE, 0);
        ::SendMessageW(control, TBM_SETRANGEMAX, FALSE, 100);
        ::SendMessageW(control, TBM_SETPAGESIZE, 0, 10);
        ::SendMessageW(control, TBM_SETLINESIZE, 0, 1);
        ::SendMessageW(control, TBM_SETPOS, TRUE, 0);
        ::SetWindowSubclass(control, ControlProc, 1, reinterpret_cast<DWORD_PTR>(this));
        break;
      default:
        break;
    }
    if (c.toolTip) AddToolTip(control, c.toolTip);
  }
}

void Win32DialogView::AddToolTip(HWND control, const wchar_t* text) {
  TTTOOLINFOW tool{};
  // The version 5 size: the common controls without a manifest reject larger.
  tool.cbSize = TTTOOLINFOW_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog_.get();
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text);
  ::SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32DialogView::SizeClientArea() {
  HWND dialog = dialog_.get();
  RECT frame{0, 0, TwipsToPixels(kClientWidthTwips, dpiX_), TwipsToPixels(kClientHeightTwips, dpiY_)};
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongW(dialog, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongW(dialog, GWL_EXSTYLE)));
  ::SetWindowPos(dialog, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace hushcall
