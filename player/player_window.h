// The stand-in player's main window, class "Winamp v1.x": answers the
// protocol messages from its PlayerModel, shows the state, hosts the
// plug-ins and quits them before it goes.
#pragma once

#include <string>

#include <windows.h>

#include "player/command_line.h"
#include "player/event_log.h"
#include "player/player_model.h"
#include "player/plugin_set.h"

namespace hushcall::player {

inline constexpr wchar_t kPlayerWindowClass[] = L"Winamp v1.x";
inline constexpr wchar_t kPlayerWindowTitle[] = L"Stand-in player";

class PlayerWindow {
 public:
  PlayerWindow(const PlayerOptions& options, EventLog& log);
  PlayerWindow(const PlayerWindow&) = delete;
  PlayerWindow& operator=(const PlayerWindow&) = delete;

  // Creates and shows the window; false if that failed.
  bool Create(HINSTANCE instance);
  // Loads the plug-ins and schedules --config and --exit-after-ms.
  void Start(const std::wstring& pluginFolder);
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT msg, WPARAM wparam, LPARAM lparam);

  LRESULT OnUser(WPARAM wparam, LPARAM lparam);      // volume and status requests
  void OnCommand(WPARAM wparam, LPARAM lparam);      // playback, quit and config commands
  void OnClose();                                    // quits the plug-ins, then the window
  void OnTimer(UINT_PTR id);                         // --exit-after-ms, --resource-log-ms
  void LogResources();                               // handle count and private bytes
  void OnPaint();                                    // state, volume and plug-ins as text
  void BuildMenu();
  void Refresh() { ::InvalidateRect(hwnd_, nullptr, TRUE); }

  const PlayerOptions& options_;
  EventLog& log_;
  PlayerModel model_;
  PluginSet plugins_;
  HWND hwnd_ = nullptr;
  bool closed_ = false;
};

}  // namespace hushcall::player
