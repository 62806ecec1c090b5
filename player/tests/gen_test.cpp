// gen_test.dll: a tiny general-purpose plug-in for testing the stand-in
// player. It writes what it sees to gen_test.log beside itself: whether
// init got the player's window, the player's answers to the protocol
// messages it sends, config (a message box a test must answer) and quit,
// each line starting with its own file name. A quit inside its config pins
// the DLL, as the player unloads it while the box is still up.
// Built a second time with GEN_TEST_FAIL_INIT, its init fails.
#include <windows.h>

#include <cstdio>
#include <string>

#include "host/general_purpose_plugin.h"

namespace {

#ifdef GEN_TEST_FAIL_INIT
char description[] = "Failing test plug-in";
#else
char description[] = "Test plug-in";
#endif

int __cdecl Init();
void __cdecl Config();
void __cdecl Quit();

winampGeneralPurposePlugin record = {0x10, description, Init, Config, Quit, nullptr, nullptr};

void Log(const std::string& line) {
  char path[MAX_PATH];
  DWORD n = ::GetModuleFileNameA(record.hDllInstance, path, MAX_PATH);
  std::string file(path, n);
  const size_t slash = file.find_last_of("\\/") + 1;
  const std::string self = file.substr(slash);
  file = file.substr(0, slash) + "gen_test.log";
  HANDLE h = ::CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string text = self + " " + line + "\n";
  DWORD written = 0;
  ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(h);
}

long Send(UINT msg, WPARAM wparam, LPARAM lparam) {
  return static_cast<long>(::SendMessageA(record.hwndParent, msg, wparam, lparam));
}
long Volume() { return Send(WM_USER, static_cast<WPARAM>(-666), 122); }
long Status() { return Send(WM_USER, 0, 104); }
void Answer(const char* what, long value) { Log(std::string("answer ") + what + " " + std::to_string(value)); }

int __cdecl Init() {
  HWND player = ::FindWindowA("Winamp v1.x", nullptr);
  Log(std::string("init") + (record.hwndParent && record.hwndParent == player ? " parent=player" : " parent=other") +
      (record.hDllInstance ? " instance=set" : " instance=null"));
#ifdef GEN_TEST_FAIL_INIT
  return 1;
#else
  Answer("volume-start", Volume());
  Send(WM_USER, 300, 122);
  Answer("volume-after-300", Volume());
  Send(WM_USER, static_cast<WPARAM>(-5), 122);
  Answer("volume-after-minus5", Volume());
  Send(WM_USER, 128, 122);
  Answer("volume-after-128", Volume());
  Answer("status-start", Status());
  Send(WM_COMMAND, 40046, 0);
  Answer("status-after-pause", Status());
  Send(WM_COMMAND, 40046, 0);
  Answer("status-after-second-pause", Status());
  Send(WM_COMMAND, 40047, 0);
  Answer("status-after-stop", Status());
  Send(WM_COMMAND, 40046, 0);
  Answer("status-after-pause-while-stopped", Status());
  Send(WM_COMMAND, 40045, 0);
  Answer("status-after-play", Status());
  return 0;
#endif
}

int configsRunning = 0;

void __cdecl Config() {
  Log("config begin");
  ++configsRunning;
  int pressed = ::MessageBoxA(record.hwndParent, "gen_test config", "gen_test", MB_OKCANCEL);
  --configsRunning;
  Log("config end pressed=" + std::to_string(pressed));
}

void __cdecl Quit() {
  // The player unloads us next, while the config's box may still be on the
  // stack: a well-made plug-in then keeps its code loaded.
  if (configsRunning) {
    HMODULE self = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                         reinterpret_cast<LPCSTR>(&record), &self);
  }
  Log(std::string("quit") + (::IsWindow(record.hwndParent) ? " player=alive" : " player=gone") +
      (configsRunning ? " inside config" : ""));
}

}  // namespace

extern "C" winampGeneralPurposePlugin* __cdecl winampGetGeneralPurposePlugin() { return &record; }
