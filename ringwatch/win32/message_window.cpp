#include "ringwatch/win32/message_window.h"

#include "common/status.h"

namespace hushcall::ringwatch {
namespace {

constexpr wchar_t kClassName[] = L"HushcallMessageWindow";

// The class is registered while windows of it exist and unregistered with the
// last one: classes of a DLL outlive its unloading, and a class left behind
// would point at a window procedure that is gone after a reload.
int g_liveWindows = 0;

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

void RegisterClassOnce(WNDPROC proc) {
  if (g_liveWindows > 0) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = ThisModule();
  wc.lpszClassName = kClassName;
  if (::RegisterClassExW(&wc)) return;
  DWORD error = ::GetLastError();
  if (error == ERROR_CLASS_ALREADY_EXISTS) {
    // Left behind by an earlier load of this module: replace it.
    ::UnregisterClassW(kClassName, wc.hInstance);
    if (::RegisterClassExW(&wc)) return;
    error = ::GetLastError();
    if (error == ERROR_CLASS_ALREADY_EXISTS) return;
  }
  Fail(StatusFromWin32(error));
}

void UnregisterClassWithLastWindow() {
  if (--g_liveWindows == 0) ::UnregisterClassW(kClassName, ThisModule());
}

}  // namespace

MessageWindow::MessageWindow(std::weak_ptr<MessageSink> sink)
    : sink_(std::make_unique<std::weak_ptr<MessageSink>>(std::move(sink))) {
  RegisterClassOnce(&WindowProc);
  HWND hwnd = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(),
                                nullptr);
  if (!hwnd) {
    DWORD error = ::GetLastError();
    if (g_liveWindows == 0) ::UnregisterClassW(kClassName, ThisModule());
    Fail(StatusFromWin32(error));
  }
  ++g_liveWindows;
  hwnd_.reset(hwnd);
  ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(sink_.get()));
}

MessageWindow::~MessageWindow() {
  // Detach first: a message that is still queued, or one sent while the
  // window goes, finds no sink.
  ::SetWindowLongPtrW(hwnd_.get(), GWLP_USERDATA, 0);
  hwnd_.reset();
  UnregisterClassWithLastWindow();
}

LRESULT CALLBACK MessageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_TIMER && message < WM_USER) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  auto* weak = reinterpret_cast<std::weak_ptr<MessageSink>*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!weak) return 0;
  // The local reference keeps the sink alive even if the handler destroys
  // this window and its owner; nothing below touches `weak` again.
  std::shared_ptr<MessageSink> sink = weak->lock();
  if (!sink) return 0;
  try {
    sink->OnMessage(message, wParam, lParam);
  } catch (...) {
    // The event dispatch drops a failure of the handler it raised.
  }
  return 0;
}

}  // namespace hushcall::ringwatch
