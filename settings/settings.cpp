// Loading and saving the six settings, key by key.
#include "settings/settings.h"

#include <string>
#include <type_traits>

#include "settings/conversions.h"
#include "settings/settings_store.h"

namespace hushcall {
namespace {

std::string Read(SettingsStore& store, std::string_view key, std::string_view defaultText) {
  return store.Read(kProductName, kSettingsSection, key, defaultText);
}

bool ReadFlag(SettingsStore& store, std::string_view key) {
  // Any non-zero leading number is true; a word reads as 0, that is false.
  return LeadingNumber(Read(store, key, "0")) != 0.0;
}

template <class T>
void WriteIfKnown(SettingsStore& store, std::string_view key, const Field<T>& field) {
  if (!field.known()) return;
  std::string text;
  if constexpr (std::is_same_v<T, bool>) {
    text = std::to_string(BoolToBit(field.value()));
  } else {
    text = std::to_string(static_cast<std::int64_t>(field.value()));
  }
  store.Write(kProductName, kSettingsSection, key, text);
}

}  // namespace

void LoadSettings(Settings& settings, SettingsStore& store, std::string_view decimalSeparator) {
  // Each field is stored before the next key is read, so a failure part-way
  // leaves the earlier fields loaded and the later ones as they were, but
  // unknown: saving must not put an earlier load's values over the store.
  settings.Action.Forget();
  settings.Volume.Forget();
  settings.Percent.Forget();
  settings.Popup.Forget();
  settings.Enabled.Forget();
  settings.COMPort.Forget();
  settings.Action = StrictNumberToInt32(Read(store, "Action", "122"), decimalSeparator);
  settings.Volume = NarrowToByte(StrictNumberToInt32(Read(store, "Volume", "50"), decimalSeparator));
  settings.Percent = ReadFlag(store, "Percent");
  settings.Popup = ReadFlag(store, "Popup");
  settings.Enabled = ReadFlag(store, "Enabled");
  settings.COMPort = RoundToByte(LeadingNumber(Read(store, "COMPort", "1")));
}

void SaveSettings(const Settings& settings, SettingsStore& store) {
  // Only fields that hold a loaded or applied value are written: a failed
  // load or a Quit before any Initialize must not overwrite the stored
  // settings with zeros.
  WriteIfKnown(store, "Action", settings.Action);
  WriteIfKnown(store, "Volume", settings.Volume);
  WriteIfKnown(store, "Percent", settings.Percent);
  WriteIfKnown(store, "Popup", settings.Popup);
  WriteIfKnown(store, "Enabled", settings.Enabled);
  WriteIfKnown(store, "COMPort", settings.COMPort);
}

}  // namespace hushcall
