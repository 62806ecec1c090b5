#include "ringwatch/win32/win32_platform.h"

#include <cwchar>
#include <string>

#include "common/win32/debug_trace.h"
#include "common/win32/utf.h"
#include "common/win32/window_text.h"

namespace hushcall::ringwatch {

namespace {

// A message box is a dialog of the system's class whose text is the static
// control 0xFFFF.
constexpr int kMessageBoxTextId = 0xFFFF;

bool IsDialog(HWND window) {
  wchar_t name[8] = {};
  return ::GetClassNameW(window, name, 8) > 0 && std::wcscmp(name, L"#32770") == 0;
}

struct BoxSearch {
  std::wstring text;
  std::wstring title;
  bool found = false;
};

BOOL CALLBACK MatchVisibleBox(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<BoxSearch*>(param);
  if (!::IsWindowVisible(window) || !IsDialog(window) || win32::WindowText(window) != search.title)
    return TRUE;
  HWND message = ::GetDlgItem(window, kMessageBoxTextId);
  search.found = message != nullptr && win32::WindowText(message) == search.text;
  return search.found ? FALSE : TRUE;
}

}  // namespace

int Win32MessageBoxes::Show(std::string_view text, std::string_view title, int code) {
  HWND owner = owner_ ? owner_() : nullptr;
  const int length = static_cast<int>(text.size());
  win32::DebugTrace("box shown: %.*s", length, text.data());
  const int answer = ::MessageBoxW(owner, win32::WidenUtf8(text).c_str(),
                                   win32::WidenUtf8(title).c_str(), static_cast<UINT>(code));
  win32::DebugTrace("box answered %d: %.*s", answer, length, text.data());
  return answer;
}

bool Win32MessageBoxes::Unanswered(std::string_view text, std::string_view title) {
  BoxSearch search{win32::WidenUtf8(text), win32::WidenUtf8(title)};
  ::EnumThreadWindows(::GetCurrentThreadId(), MatchVisibleBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
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
