// Finding and reading other processes' windows, the way a person sees them.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace hushcall::hushctl {

// A top-level window by class and/or exact title (an empty string matches
// any). Visible windows are preferred when several match.
struct WindowQuery {
  std::wstring className;
  std::wstring title;
  // One window only, as `wait` printed it: two boxes up at once are then
  // never read from one and answered in the other.
  HWND handle = nullptr;
  bool Empty() const { return className.empty() && title.empty() && !handle; }
};

enum class WaitFor { kExists, kVisible, kGone };

// Polls until the condition holds or `timeoutMs` passes. For kExists and
// kVisible the window found; for kGone a non-null dummy on success.
HWND WaitForWindow(const WindowQuery& wanted, WaitFor condition, unsigned timeoutMs);
HWND FindTopLevel(const WindowQuery& wanted, bool visibleOnly);

// A descendant control by its id, or by its caption (mnemonic '&' ignored).
HWND FindControlById(HWND parent, int id);
HWND FindControlByText(HWND parent, const std::wstring& text);
std::vector<HWND> Descendants(HWND parent);

// Reads through WM_GETTEXT, which works across processes.
std::optional<std::wstring> ControlText(HWND control);
std::wstring ClassOf(HWND window);
// The control's rectangle in the client coordinates of `dialog`.
RECT RectIn(HWND control, HWND dialog);
// BM_GETCHECK for buttons; -1 for other classes.
int CheckState(HWND control);

// One line: id, class, text, rect, enabled, visible, checked.
std::wstring Describe(HWND control, HWND dialog);

// Sends and waits at most `timeoutMs`; a message still being handled when
// the time is up (a modal loop it opened) is not a failure.
bool SendAndSettle(HWND window, UINT msg, WPARAM wparam, LPARAM lparam, unsigned timeoutMs);
// A query that must be answered: nullopt when it wasn't in time.
std::optional<LRESULT> Query(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);

}  // namespace hushcall::hushctl
