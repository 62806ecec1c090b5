// What the player is told on the first ring of a call.
#include "common/player_protocol.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "settings/conversions.h"

namespace hushcall::ringwatch {

namespace {

constexpr std::int32_t kFullVolume = 255;

}  // namespace

void ModRing::React() {
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
  // One popup at a time: an unattended player would otherwise stack a box
  // inside a box for every call. The player has heard of this call anyway.
  if (settings_.Popup) ShowUnlessUp(popupShown_, kRingingText);
}

void ModRing::ShowUnlessUp(bool& up, std::string_view text) {
  // An answered box whose Show waits under a box opened inside it (the
  // lost-line notice inside the popup) is off the screen: the next call's
  // popup is news again.
  if (up && messageBoxes_.Unanswered(text, kProductName)) return;
  const struct Restore {
    bool& flag;
    bool before;
    ~Restore() { flag = before; }
  } restore{up, up};
  up = true;
  messageBoxes_.Show(text, kProductName, kMbExclamationOk);
}

}  // namespace hushcall::ringwatch
