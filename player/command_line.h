// The stand-in player's command-line options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "player/player_model.h"

namespace hushcall::player {

struct PlayerOptions {
  std::wstring pluginDir;  // empty: the exe's own folder
  PlayState state = PlayState::kPlaying;
  int volume = 200;
  std::wstring logFile;    // empty: no log
  std::optional<int> configPlugin;
  std::optional<int> uninstallPlugin;
  std::optional<int> exitAfterMs;
  std::optional<int> resourceLogMs;  // log handles and private bytes this often
  bool help = false;
};

struct ParseResult {
  PlayerOptions options;
  std::wstring error;  // empty on success
};

// `args` excludes the program name.
ParseResult ParseCommandLine(const std::vector<std::wstring>& args);

extern const wchar_t kUsage[];

}  // namespace hushcall::player
