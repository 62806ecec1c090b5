// The reaction sent to the player's main window as its window messages.
#pragma once

#include <cstdint>

#include "ringwatch/core/call_reaction.h"
#include "ringwatch/core/player_window.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {

class PlayerWindowReaction final : public CallReaction {
 public:
  // `playerWnd` is read at each ring: the host may hand over a new window.
  PlayerWindowReaction(const Settings& settings, const std::int32_t& playerWnd,
                       PlayerWindow& player)
      : settings_(settings), playerWnd_(playerWnd), player_(player) {}

  // Throws Failure(kOverflow) when the new volume leaves the signed 32-bit
  // range (nothing sent then).
  void FirstRing() override;

 private:
  const Settings& settings_;
  const std::int32_t& playerWnd_;
  PlayerWindow& player_;
};

}  // namespace hushcall::ringwatch
