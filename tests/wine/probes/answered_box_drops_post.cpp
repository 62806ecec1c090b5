// A message box's modal loop under Wine 8 drops a posted message for another
// window when the box is answered in the same turn: GetMessage handles the
// sent click (which ends the dialog) and then returns the posted message,
// which the loop, seeing the dialog ended, neither dispatches nor puts back.
// The serial control's reader therefore posts a notification again while it
// stays unreceived (ringwatch/win32/comm_reader.h).
//
//   x86_64-w64-mingw32-g++ -O2 -static -o answered_box_drops_post.exe answered_box_drops_post.cpp
//   HC_WINE_ARCH=win64 bash -c '. tests/wine/wine-env.sh && hc_wine_setup && wine answered_box_drops_post.exe; hc_wine_teardown'
//
// Seen: "posted messages lost: 13 of 50" with the 64-bit build, 26 of 50 with
// the 32-bit one.
#include <windows.h>

#include <cstdio>

namespace {

constexpr UINT kPosted = WM_APP + 1;
int g_delivered = 0;
HWND g_target = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kPosted) {
    ++g_delivered;
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Posts to the hidden window, then clicks OK at once: both wait for the
// box's loop together.
DWORD WINAPI Answer(void*) {
  HWND box = nullptr;
  while (!(box = FindWindowW(L"#32770", L"Probe"))) Sleep(5);
  Sleep(200);
  PostMessageW(g_target, kPosted, 0, 0);
  SendMessageTimeoutW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0, SMTO_NORMAL, 2000, nullptr);
  return 0;
}

}  // namespace

int main() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.lpszClassName = L"probe";
  wc.hInstance = GetModuleHandleW(nullptr);
  RegisterClassW(&wc);
  g_target = CreateWindowExW(0, L"probe", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  constexpr int kRounds = 50;
  int lost = 0;
  for (int i = 0; i < kRounds; ++i) {
    g_delivered = 0;
    HANDLE answerer = CreateThread(nullptr, 0, Answer, nullptr, 0, nullptr);
    MessageBoxW(nullptr, L"text", L"Probe", MB_OK);
    WaitForSingleObject(answerer, INFINITE);
    CloseHandle(answerer);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    if (g_delivered == 0) ++lost;
  }
  std::printf("posted messages lost: %d of %d\n", lost, kRounds);
  return 0;
}
