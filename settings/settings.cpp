// Loading and saving the six settings, key by key.
#include "settings/settings.h"

#include "settings/setting_keys.h"
#include "settings/settings_store.h"

namespace hushcall {

void LoadSettings(Settings& settings, SettingsStore& store, std::string_view decimalSeparator) {
  // Each field is stored before the next key is read, so a failure part-way
  // leaves the earlier fields loaded and the later ones as they were, but
  // unknown: saving must not put an earlier load's values over the store.
  for (const SettingKey& key : SettingKeys()) key.forget(settings);
  for (const SettingKey& key : SettingKeys()) {
    key.load(settings, store.Read(kProductName, kSettingsSection, key.name, key.defaultText),
             decimalSeparator);
  }
}

void SaveSettings(const Settings& settings, SettingsStore& store) {
  // Only fields that hold a loaded or applied value are written: a failed
  // load or a Quit before any Initialize must not overwrite the stored
  // settings with zeros.
  for (const SettingKey& key : SettingKeys()) {
    if (key.known(settings)) store.Write(kProductName, kSettingsSection, key.name, key.text(settings));
  }
}

}  // namespace hushcall
