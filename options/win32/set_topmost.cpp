#include "options/win32/set_topmost.h"

namespace hushcall {

void SetTopmost(HWND window, bool topmost) {
  ::SetWindowPos(window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

}  // namespace hushcall
