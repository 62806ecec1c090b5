// The six keys of the settings, each defined once: its name, the text read
// when it is absent, the values it accepts and its conversion. The store's
// load and save and the service's settings file all go through this table.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "settings/settings.h"

namespace hushcall {

struct SettingKey {
  std::string_view name;
  std::string_view defaultText;
  // What the conversion accepts, in words, for messages about a bad value.
  std::string_view accepted;
  // Converts `text` and stores the value in its field. Throws
  // Failure(kTypeMismatch or kOverflow), leaving the field as it was.
  void (*load)(Settings& settings, std::string_view text, std::string_view decimalSeparator);
  // Keeps the field's value but no longer counts it as known.
  void (*forget)(Settings& settings);
  bool (*known)(const Settings& settings);
  // The field's persisted form: the number, a flag as 1 or 0.
  std::string (*text)(const Settings& settings);
};

// In the order the store has always been read and written: Action, Volume,
// Percent, Popup, Enabled, COMPort.
std::span<const SettingKey> SettingKeys();

// The key of that exact name, or nullptr.
const SettingKey* FindSettingKey(std::string_view name);

}  // namespace hushcall
