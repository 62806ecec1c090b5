#include "player/player_window.h"

#include <psapi.h>

#include <cstdint>

#include "common/player_protocol.h"

namespace hushcall::player {

namespace {

constexpr UINT_PTR kExitTimer = 1;
constexpr UINT_PTR kResourceTimer = 2;

std::string Signed(WPARAM value) { return std::to_string(static_cast<std::int32_t>(value)); }
std::string Signed(LPARAM value) { return std::to_string(static_cast<std::int32_t>(value)); }

}  // namespace

PlayerWindow::PlayerWindow(const PlayerOptions& options, EventLog& log)
    : options_(options), log_(log), model_(options.state, options.volume), plugins_(log) {}

bool PlayerWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &PlayerWindow::WndProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kPlayerWindowClass;
  if (!::RegisterClassExW(&wc)) return false;
  hwnd_ = ::CreateWindowExW(0, kPlayerWindowClass, kPlayerWindowTitle, WS_OVERLAPPEDWINDOW,
                            CW_USEDEFAULT, CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance,
                            this);
  if (!hwnd_) return false;
  ::ShowWindow(hwnd_, SW_SHOWNORMAL);
  ::UpdateWindow(hwnd_);
  return true;
}

void PlayerWindow::Start(const std::wstring& pluginFolder) {
  char handle[32];
  wsprintfA(handle, "0x%08X", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(hwnd_)));
  log_.Write(std::string("start hwnd=") + handle + " state=" + ToString(model_.state()) +
             " volume=" + std::to_string(model_.volume()) +
             " pid=" + std::to_string(::GetCurrentProcessId()));
  plugins_.LoadAll(pluginFolder, hwnd_);
  BuildMenu();
  Refresh();
  // Posted, not called: a test may want the player's loop running while
  // the plug-in's dialog is up.
  if (options_.configPlugin)
    ::PostMessageW(hwnd_, WM_COMMAND, kCommandConfigFirst + *options_.configPlugin, 0);
  if (options_.uninstallPlugin)
    ::PostMessageW(hwnd_, WM_COMMAND, kCommandUninstallFirst + *options_.uninstallPlugin, 0);
  if (options_.exitAfterMs) ::SetTimer(hwnd_, kExitTimer, *options_.exitAfterMs, nullptr);
  if (options_.resourceLogMs) {
    LogResources();
    ::SetTimer(hwnd_, kResourceTimer, *options_.resourceLogMs, nullptr);
  }
}

LRESULT CALLBACK PlayerWindow::WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    reinterpret_cast<PlayerWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<PlayerWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wparam, lparam);
  try {
    return self->HandleMessage(msg, wparam, lparam);
  } catch (...) {
    // Nothing may unwind into the system's dispatcher.
    return 0;
  }
}

LRESULT PlayerWindow::HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_USER:
      return OnUser(wparam, lparam);
    case WM_COMMAND:
      OnCommand(wparam, lparam);
      return 0;
    case WM_TIMER:
      OnTimer(wparam);
      return 0;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, msg, wparam, lparam);
  }
}

LRESULT PlayerWindow::OnUser(WPARAM wparam, LPARAM lparam) {
  LRESULT answer = model_.OnUserMessage(static_cast<std::int32_t>(wparam), lparam);
  log_.Write("msg WM_USER wParam=" + Signed(wparam) + " lParam=" + Signed(lparam) + " -> " +
             std::to_string(answer) + " volume=" + std::to_string(model_.volume()));
  Refresh();
  return answer;
}

void PlayerWindow::OnCommand(WPARAM wparam, LPARAM lparam) {
  const int id = LOWORD(wparam);
  if (id >= kCommandConfigFirst && id <= kCommandConfigLast) {
    plugins_.Configure(static_cast<size_t>(id - kCommandConfigFirst));
    return;
  }
  if (id >= kCommandUninstallFirst && id <= kCommandUninstallLast) {
    plugins_.Uninstall(static_cast<size_t>(id - kCommandUninstallFirst), hwnd_);
    if (closed_) return;  // closed from inside the plug-in's question box
    BuildMenu();
    Refresh();
    return;
  }
  if (id == kCommandQuit) {
    log_.Write("msg WM_COMMAND wParam=" + Signed(wparam) + " lParam=" + Signed(lparam) + " quit");
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    return;
  }
  model_.OnCommand(id);  // unknown ids are logged and otherwise ignored
  log_.Write("msg WM_COMMAND wParam=" + Signed(wparam) + " lParam=" + Signed(lparam) +
             " state=" + ToString(model_.state()));
  Refresh();
}

void PlayerWindow::OnTimer(UINT_PTR id) {
  if (id == kResourceTimer) LogResources();
  if (id != kExitTimer) return;
  ::KillTimer(hwnd_, kExitTimer);
  log_.Write("exit timer");
  ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

// Wine 8 answers GetProcessHandleCount with 0 and leaves PrivateUsage at 0;
// there the handles are counted by asking about every value of the handle
// table's range, and private bytes are the committed private regions.
void PlayerWindow::LogResources() {
  DWORD handles = 0;
  if (!::GetProcessHandleCount(::GetCurrentProcess(), &handles) || handles == 0) {
    DWORD flags = 0;
    for (UINT_PTR value = 4; value < 0x10000; value += 4)
      if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++handles;
  }
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  ::GetProcessMemoryInfo(::GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
  SIZE_T privateBytes = memory.PrivateUsage;
  MEMORY_BASIC_INFORMATION region{};
  if (privateBytes == 0) {
    for (auto* at = static_cast<const char*>(nullptr); ::VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
      if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) privateBytes += region.RegionSize;
    }
  }
  log_.Write("resources handles=" + std::to_string(handles) + " private_kb=" + std::to_string(privateBytes / 1024));
}

void PlayerWindow::OnClose() {
  if (closed_) return;
  // As the real player does: at once, even when the close was dispatched by
  // a plug-in's own message loop (its config, a box, a wait), whose frames
  // are then still on the stack beneath this one.
  closed_ = true;
  log_.Write("quit");
  ::KillTimer(hwnd_, kExitTimer);
  plugins_.QuitAll();
  ::DestroyWindow(hwnd_);
}

void PlayerWindow::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd_, &ps);
  std::wstring text = L"State: ";
  for (const char* p = ToString(model_.state()); *p; ++p) text += static_cast<wchar_t>(*p);
  text += L"\nVolume: " + std::to_wstring(model_.volume()) + L" / 255\nPlug-ins:";
  for (size_t i = 0; i < plugins_.size(); ++i) {
    std::string description = plugins_.Description(i);
    text += L"\n  " + std::to_wstring(i) + L": ";
    for (char c : description) text += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  RECT rc;
  ::GetClientRect(hwnd_, &rc);
  ::InflateRect(&rc, -8, -8);
  ::DrawTextW(dc, text.c_str(), -1, &rc, DT_LEFT | DT_TOP | DT_NOPREFIX);
  ::EndPaint(hwnd_, &ps);
}

void PlayerWindow::BuildMenu() {
  HMENU bar = ::CreateMenu();
  HMENU playback = ::CreatePopupMenu();
  ::AppendMenuW(playback, MF_STRING, kCommandPlay, L"&Play");
  ::AppendMenuW(playback, MF_STRING, kCommandPause, L"P&ause");
  ::AppendMenuW(playback, MF_STRING, kCommandStop, L"&Stop");
  ::AppendMenuW(playback, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(playback, MF_STRING, kCommandQuit, L"E&xit");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(playback), L"&Playback");
  HMENU plugins = ::CreatePopupMenu();
  for (size_t i = 0; i < plugins_.size(); ++i) {
    std::wstring name;
    for (char c : plugins_.Description(i)) name += static_cast<wchar_t>(static_cast<unsigned char>(c));
    ::AppendMenuW(plugins, MF_STRING, kCommandConfigFirst + i, (L"Configure " + name + L"...").c_str());
    ::AppendMenuW(plugins, MF_STRING, kCommandUninstallFirst + i, (L"Remove " + name).c_str());
  }
  if (plugins_.size() == 0) ::AppendMenuW(plugins, MF_STRING | MF_GRAYED, 0, L"(none)");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(plugins), L"P&lug-ins");
  // The window owns its menu and destroys it with itself; one it replaces
  // is ours to destroy.
  HMENU old = ::GetMenu(hwnd_);
  ::SetMenu(hwnd_, bar);
  if (old) ::DestroyMenu(old);
}

}  // namespace hushcall::player
