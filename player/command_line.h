// The stand-in player's command-line options.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "player/player_model.h"

namespace hushcall::player {

struct PlayerOptions {
  std::wstring plugin_dir;  // empty: the exe's own folder
  PlayState state = PlayState::kPlaying;
  int volume = 200;
  std::wstring log_file;    // empty: no log
  std::optional<int> config_plugin;
  std::optional<int> uninstall_plugin;
  std::optional<int> exit_after_ms;
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
