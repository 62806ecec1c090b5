// The settings store in the registry: HKCU\Software\VB and VBA Program
// Settings\<app>\<section>, one REG_SZ value per key, where the Visual Basic
// runtime's GetSetting/SaveSetting keep theirs.
#pragma once

#include "settings/settings_store.h"

namespace hushcall::win32 {

class RegistrySettingsStore final : public SettingsStore {
 public:
  std::string Read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view defaultText) override;
  // Throws Failure(StatusFromWin32(error)) when the key or value can't be written.
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view text) override;
};

// The key the store uses for one application and section, under HKCU.
std::wstring SettingsKeyPath(std::string_view app, std::string_view section);
// The key that holds all of one application's sections, under HKCU.
std::wstring SettingsAppKeyPath(std::string_view app);

}  // namespace hushcall::win32
