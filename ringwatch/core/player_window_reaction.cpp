// The player's window messages for the first ring of a call.
#include "ringwatch/core/player_window_reaction.h"

#include "common/player_protocol.h"
#include "settings/conversions.h"

namespace hushcall::ringwatch {

namespace {

constexpr std::int32_t kFullVolume = 255;

}  // namespace

void PlayerWindowReaction::FirstRing() {
  const std::int32_t hwnd = playerWnd_;
  const std::int32_t action = settings_.Action;
  if (action == kActionVolume) {
    const std::int32_t base =
        settings_.Percent ? player_.Send(hwnd, kWmUser, kVolumeQuery, action) : kFullVolume;
    // Divide first, then multiply, each rounded to double: 7 % of 150 must
    // come out just above 10.5 and so round to 11.
    const double quotient = settings_.Volume.value() / 100.0;
    const double product = quotient * base;
    // Throws on overflow before anything is sent.
    const std::int32_t newVolume = RoundToInt32(product);
    player_.Send(hwnd, kWmUser, newVolume, action);
  } else if (action == kActionPause) {
    // The player's pause command toggles: sent to a paused or stopped player
    // it would start the music instead.
    if (player_.Send(hwnd, kWmUser, 0, kIpcIsPlaying) == kIsPlayingAnswer) {
      player_.Send(hwnd, kWmCommand, action, 0);
    }
  } else {
    player_.Send(hwnd, kWmCommand, action, 0);
  }
}

}  // namespace hushcall::ringwatch
