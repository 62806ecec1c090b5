// The player's window message protocol: the numbers that bind the player
// and every plug-in that drives it.
#pragma once

#include <cstdint>

namespace hushcall {

inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::uint32_t kWmUser = 0x0400;

// WM_USER requests, selected by lParam.
inline constexpr std::int32_t kIpcSetVolume = 122;  // wParam: the volume, or kVolumeQuery
inline constexpr std::int32_t kIpcIsPlaying = 104;  // answers 1 playing, 3 paused, 0 stopped
inline constexpr std::int32_t kVolumeQuery = -666;  // wParam asking for the current volume
inline constexpr std::int32_t kIsPlayingAnswer = 1;

// WM_COMMAND ids (wParam).
inline constexpr std::int32_t kCommandQuit = 40001;
inline constexpr std::int32_t kCommandPlay = 40045;
inline constexpr std::int32_t kCommandPause = 40046;  // toggles pause
inline constexpr std::int32_t kCommandStop = 40047;
// kCommandConfigFirst + n opens the configuration of plug-in n.
inline constexpr std::int32_t kCommandConfigFirst = 41000;
inline constexpr std::int32_t kCommandConfigLast = 41999;
// kCommandUninstallFirst + n removes plug-in n, as the player's preferences
// do.
inline constexpr std::int32_t kCommandUninstallFirst = 42000;
inline constexpr std::int32_t kCommandUninstallLast = 42999;

}  // namespace hushcall
