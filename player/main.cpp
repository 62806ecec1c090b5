// player.exe: a stand-in for the media player, for running general-purpose
// plug-ins and watching what they ask of the player.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "common/win32/module_file.h"
#include "common/win32/utf.h"
#include "player/command_line.h"
#include "player/event_log.h"
#include "player/player_window.h"

using namespace hushcall::player;

namespace {

// A GUI program started from a console still reports there.
void PrintToConsole(const std::wstring& text) {
  ::AttachConsole(ATTACH_PARENT_PROCESS);
  HANDLE out = ::GetStdHandle(STD_ERROR_HANDLE);
  if (!out || out == INVALID_HANDLE_VALUE) return;
  std::string utf8 = hushcall::win32::NarrowToUtf8(text);
  DWORD written = 0;
  ::WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::vector<std::wstring> Arguments() {
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::wstring> args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

std::wstring ExeFolder() {
  std::wstring folder = hushcall::win32::ModuleFileName(nullptr);
  size_t slash = folder.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : folder.substr(0, slash);
}

int Run(HINSTANCE instance) {
  ParseResult parsed = ParseCommandLine(Arguments());
  if (!parsed.error.empty()) {
    PrintToConsole(L"player: " + parsed.error + L"\n" + kUsage);
    return 2;
  }
  const PlayerOptions& options = parsed.options;
  if (options.help) {
    PrintToConsole(kUsage);
    return 0;
  }
  EventLog log(options.logFile);
  if (!options.logFile.empty() && !log.is_open()) {
    PrintToConsole(L"player: cannot open the log " + options.logFile + L"\n");
    return 2;
  }
  PlayerWindow window(options, log);
  if (!window.Create(instance)) {
    PrintToConsole(L"player: cannot create the window\n");
    return 3;
  }
  window.Start(options.pluginDir.empty() ? ExeFolder() : options.pluginDir);
  MSG msg;
  BOOL got;
  while ((got = ::GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 4;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  log.Write("exit code=" + std::to_string(static_cast<int>(msg.wParam)));
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  try {
    return Run(instance);
  } catch (...) {
    return 5;
  }
}
