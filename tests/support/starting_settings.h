// The settings the dialog and ring watch tests start from: the stored
// defaults, enabled, on the given port.
#pragma once

#include <cstdint>

#include "settings/settings.h"

namespace hushcall::testing {

inline void SetStartingSettings(Settings& settings, std::uint8_t comPort = 1) {
  settings.Action = kActionVolume;
  settings.Volume = 50;
  settings.Percent = false;
  settings.Popup = false;
  settings.Enabled = true;
  settings.COMPort = comPort;
}

}  // namespace hushcall::testing
