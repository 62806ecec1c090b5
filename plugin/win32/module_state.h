// Process-wide state of the loaded library, shared by every Plugin object,
// the ring watch and the options dialog. Each lives as long as the library.
#pragma once

#include <cstdint>

#include "plugin/core/plugin_logic.h"
#include "settings/settings.h"

namespace hushcall {

namespace ringwatch {
class OptionsDialog;
}  // namespace ringwatch

Settings& TheSettings();
// The player's main window as the host reported it; 0 until then.
std::int32_t& ThePlayerWnd();
// The single dialog instance, made on first use.
ringwatch::OptionsDialog& TheOptionsDialog();
// The above, with the registry settings store, as the plug-in object's
// operations see them.
PluginEnvironment& TheEnvironment();

}  // namespace hushcall
