// The player's window message protocol: numbers that bind the player and
// every plug-in that drives it.
#pragma once

#include <cstdint>

namespace hushcall::player {


// WM_USER selectors (lParam).
inline constexpr std::intptr_t kIpcSetVolume = 122;       // wParam: volume, or kVolumeQuery
inline constexpr std::intptr_t kIpcIsPlaying = 104;       // answers 1 playing, 3 paused, 0 stopped
inline constexpr std::intptr_t kVolumeQuery = -666;       // wParam asking for the current volume

// WM_COMMAND ids (wParam).
inline constexpr int kCommandPlay = 40045;
inline constexpr int kCommandPause = 40046;  // toggles pause
inline constexpr int kCommandStop = 40047;
inline constexpr int kCommandQuit = 40001;
// WM_COMMAND kCommandConfigFirst + n opens the configuration of plug-in n.
inline constexpr int kCommandConfigFirst = 41000;
inline constexpr int kCommandConfigLast = 41999;
// WM_COMMAND kCommandUninstallFirst + n removes plug-in n, as the player's
// preferences do.
inline constexpr int kCommandUninstallFirst = 42000;
inline constexpr int kCommandUninstallLast = 42999;

}  // namespace hushcall::player
