#include "player/player_model.h"

#include "common/player_protocol.h"

namespace hushcall::player {

const char* ToString(PlayState state) {
  switch (state) {
    case PlayState::kPlaying: return "playing";
    case PlayState::kPaused: return "paused";
    case PlayState::kStopped: return "stopped";
  }
  return "?";
}

std::optional<PlayState> ParsePlayState(const std::string& text) {
  if (text == "playing") return PlayState::kPlaying;
  if (text == "paused") return PlayState::kPaused;
  if (text == "stopped") return PlayState::kStopped;
  return std::nullopt;
}

int ClampVolume(long long volume) {
  if (volume < 0) return 0;
  if (volume > 255) return 255;
  return static_cast<int>(volume);
}

PlayerModel::PlayerModel(PlayState state, int volume)
    : state_(state), volume_(ClampVolume(volume)) {}

std::intptr_t PlayerModel::OnUserMessage(std::intptr_t wparam, std::intptr_t lparam) {
  switch (lparam) {
    case kIpcSetVolume:
      // wParam is 32 bits: -666 arrives as 0xFFFFFD66 and must read as the query.
      if (static_cast<std::int32_t>(wparam) == kVolumeQuery) return volume_;
      volume_ = ClampVolume(static_cast<std::int32_t>(wparam));
      return 0;
    case kIpcIsPlaying:
      switch (state_) {
        case PlayState::kPlaying: return 1;
        case PlayState::kPaused: return 3;
        case PlayState::kStopped: return 0;
      }
      return 0;
    default:
      return 0;
  }
}

bool PlayerModel::OnCommand(int id) {
  switch (id) {
    case kCommandPlay:
      state_ = PlayState::kPlaying;
      return true;
    case kCommandPause:
      // Pause toggles; a stopped player has nothing to pause or resume.
      if (state_ == PlayState::kPlaying) state_ = PlayState::kPaused;
      else if (state_ == PlayState::kPaused) state_ = PlayState::kPlaying;
      return true;
    case kCommandStop:
      state_ = PlayState::kStopped;
      return true;
    default:
      return false;
  }
}

}  // namespace hushcall::player
