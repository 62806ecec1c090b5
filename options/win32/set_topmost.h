// Keeps a window above all windows that are not topmost.
#pragma once

#include <windows.h>

namespace hushcall {

// SetWindowPos with HWND_TOPMOST (true) or HWND_NOTOPMOST (false), no move
// and no size change (flags 3); the window is neither shown nor activated.
// The call's failure is not looked at.
void SetTopmost(HWND window, bool topmost);

}  // namespace hushcall
