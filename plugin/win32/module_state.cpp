#include "plugin/win32/module_state.h"

#include "plugin/win32/registry_store.h"

namespace hushcall {

Settings& TheSettings() {
  static Settings settings;  // zero-filled until loading sets a field
  return settings;
}

std::int32_t& ThePlayerWnd() {
  static std::int32_t playerWnd = 0;
  return playerWnd;
}

PluginEnvironment& TheEnvironment() {
  static win32::RegistrySettingsStore store;
  static PluginEnvironment env{TheSettings(), ThePlayerWnd(), store, TheOptionsDialog(), "."};
  return env;
}

}  // namespace hushcall
