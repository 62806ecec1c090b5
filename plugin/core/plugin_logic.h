// Initialize, Configure and Quit as the host drives them, free of COM.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/status.h"
#include "settings/settings.h"

namespace hushcall {

namespace ringwatch {
class OptionsDialog;
}  // namespace ringwatch
class SettingsStore;

// The host's Wrapper object, as the plug-in uses it. The COM side adapts the
// real interface; tests use a fake that records calls and can fail each one.
class HostWrapper {
 public:
  virtual ~HostWrapper() = default;
  virtual Status SetDescription(std::u16string_view name) = 0;
  // `hwnd` is preset to 0 by the caller and may be left untouched.
  virtual Status GetPlayerWindow(std::int32_t* hwnd) = 0;
};

// Process-wide state the plug-in object works on.
struct PluginEnvironment {
  Settings& settings;
  std::int32_t& playerWnd;
  SettingsStore& store;
  ringwatch::OptionsDialog& frmOptions;   // the single dialog instance
  std::string decimalSeparator;  // the user locale's, for strict numbers
};

// Each returns S_OK or the status of the first failing step; nothing escapes.
// The caller has already set HostWrapper; `wrapper` is null when the host
// passed none (E_POINTER, nothing called).
Status PluginInitialize(PluginEnvironment& env, HostWrapper* wrapper);
Status PluginConfigure(PluginEnvironment& env);
// Saves the settings, then unloads the dialog even when saving failed; the
// saving's failure is the one returned.
Status PluginQuit(PluginEnvironment& env);

}  // namespace hushcall
