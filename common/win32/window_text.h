// A window's text, whatever its length.
#pragma once

#include <windows.h>

#include <string>

namespace hushcall::win32 {

// Empty for a window without text, or one that is gone.
std::wstring WindowText(HWND window);

}  // namespace hushcall::win32
