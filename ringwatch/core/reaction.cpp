// What the player is told on the first ring of a call.
#include "plugin/core/conversions.h"
#include "ringwatch/core/modring.h"

namespace hushcall::ringwatch {

namespace {

constexpr std::int32_t kFullVolume = 255;
constexpr std::int32_t kPlaying = 1;  // the player's answer to the is-playing request

}  // namespace

void ModRing::React() {
  const std::int32_t hwnd = playerWnd_;
  const std::int32_t action = settings_.Action;
  if (action == kActionVolume) {
    const std::int32_t base =
        settings_.Percent ? player_.SendMessageA(hwnd, kWmUser, kVolumeQuery, action) : kFullVolume;
    // Divide first, then multiply, each rounded to double: 7 % of 150 must
    // come out just above 10.5 and so round to 11.
    const double quotient = settings_.Volume.value() / 100.0;
    const double product = quotient * base;
    // Throws on overflow before anything is sent.
    const std::int32_t newVolume = RoundToInt32(product);
    player_.SendMessageA(hwnd, kWmUser, newVolume, action);
  } else if (action == kActionPause) {
    // The player's pause command toggles: sent to a paused or stopped player
    // it would start the music instead.
    if (player_.SendMessageA(hwnd, kWmUser, 0, kIsPlayingRequest) == kPlaying) {
      player_.SendMessageA(hwnd, kWmCommand, action, 0);
    }
  } else {
    player_.SendMessageA(hwnd, kWmCommand, action, 0);
  }
  if (settings_.Popup) messageBoxes_.Show(kRingingText, kProductName, kMbExclamationOk);
}

}  // namespace hushcall::ringwatch
