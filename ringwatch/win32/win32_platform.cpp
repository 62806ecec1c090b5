#include "ringwatch/win32/win32_platform.h"

#include "common/win32/utf.h"

namespace hushcall::ringwatch {

int Win32MessageBoxes::Show(std::string_view text, std::string_view title, int code) {
  HWND owner = owner_ ? owner_() : nullptr;
  return ::MessageBoxW(owner, win32::WidenUtf8(text).c_str(), win32::WidenUtf8(title).c_str(),
                       static_cast<UINT>(code));
}

std::int32_t Win32PlayerWindow::Send(std::int32_t hwnd, std::uint32_t msg, std::int32_t wParam,
                                             std::int32_t lParam) {
  HWND target = reinterpret_cast<HWND>(static_cast<intptr_t>(hwnd));
  LRESULT answer = ::SendMessageA(target, msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
  return static_cast<std::int32_t>(answer);
}

Win32EventPump::Win32EventPump() { ::QueryPerformanceFrequency(&frequency_); }

void Win32EventPump::DoEvents() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

std::int64_t Win32EventPump::NowMs() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  if (frequency_.QuadPart == 0) return static_cast<std::int64_t>(::GetTickCount64());
  // Whole seconds and the remainder apart, so that the product can't overflow.
  const std::int64_t f = frequency_.QuadPart;
  return now.QuadPart / f * 1000 + now.QuadPart % f * 1000 / f;
}

}  // namespace hushcall::ringwatch
