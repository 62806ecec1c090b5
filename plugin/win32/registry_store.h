// The settings store in the registry: HKCU\Software\VB and VBA Program
// Settings\<app>\<section>, one REG_SZ value per key, where the Visual Basic
// runtime's GetSetting/SaveSetting keep theirs.
//
// A value stored with another type by someone else is never lost to a save
// the user did not ask for: a REG_DWORD or REG_QWORD reads as its decimal
// text; any other type reads as the default, and writing back that same
// default leaves the value as it was.
#pragma once

#include <map>
#include <string>

#include "settings/settings_store.h"

namespace hushcall::win32 {

class RegistrySettingsStore final : public SettingsStore {
 public:
  std::string Read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view defaultText) override;
  // Throws Failure(StatusFromWin32(error)) when the key or value can't be written.
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view text) override;

 private:
  // The default handed out for each value that could not be read as text,
  // by key path and value name.
  std::map<std::wstring, std::string> defaultsForUnreadable_;
};

// The key the store uses for one application and section, under HKCU.
std::wstring SettingsKeyPath(std::string_view app, std::string_view section);
// The key that holds all of one application's sections, under HKCU.
std::wstring SettingsAppKeyPath(std::string_view app);

}  // namespace hushcall::win32
