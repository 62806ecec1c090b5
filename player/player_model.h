// What the stand-in player knows about playback: its state and its volume,
// and how it answers the protocol messages. Free of windows so it can be
// tested on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace hushcall::player {

enum class PlayState { kStopped, kPlaying, kPaused };

const char* ToString(PlayState state);
std::optional<PlayState> ParsePlayState(const std::string& text);

class PlayerModel {
 public:
  PlayerModel(PlayState state, int volume);

  PlayState state() const { return state_; }
  int volume() const { return volume_; }

  // WM_USER with the given wParam and lParam; returns the player's answer.
  std::intptr_t OnUserMessage(std::intptr_t wparam, std::intptr_t lparam);
  // WM_COMMAND with a playback command id; returns true if it was one.
  bool OnCommand(int id);

 private:
  PlayState state_;
  int volume_;
};

int ClampVolume(long long volume);

}  // namespace hushcall::player
