// The table of the six keys.
#include "settings/setting_keys.h"

#include <array>
#include <cstdint>
#include <type_traits>

#include "settings/conversions.h"

namespace hushcall {
namespace {

std::int32_t ToAction(std::string_view text, std::string_view separator) {
  return StrictNumberToInt32(text, separator);
}

std::uint8_t ToVolume(std::string_view text, std::string_view separator) {
  return NarrowToByte(StrictNumberToInt32(text, separator));
}

// Any non-zero leading number is true; a word reads as 0, that is false.
bool ToFlag(std::string_view text, std::string_view) { return LeadingNumber(text) != 0.0; }

std::uint8_t ToPort(std::string_view text, std::string_view) {
  return RoundToByte(LeadingNumber(text));
}

// One row, bound to its field and its conversion at compile time.
template <auto Member, auto Convert>
constexpr SettingKey Key(std::string_view name, std::string_view defaultText,
                         std::string_view accepted) {
  return SettingKey{
      name,
      defaultText,
      accepted,
      [](Settings& s, std::string_view text, std::string_view separator) {
        s.*Member = Convert(text, separator);
      },
      [](Settings& s) { (s.*Member).Forget(); },
      [](const Settings& s) { return (s.*Member).known(); },
      [](const Settings& s) {
        const auto value = (s.*Member).value();
        if constexpr (std::is_same_v<decltype(value), const bool>) {
          return std::to_string(BoolToBit(value));
        } else {
          return std::to_string(static_cast<std::int64_t>(value));
        }
      },
  };
}

constexpr std::array kKeys = {
    Key<&Settings::Action, ToAction>(
        "Action", "122", "a whole number: 122 lowers the volume, 40046 pauses, 40047 stops"),
    Key<&Settings::Volume, ToVolume>("Volume", "50", "a whole number 0..255"),
    Key<&Settings::Percent, ToFlag>("Percent", "0", "a number: 0 is off, any other on"),
    Key<&Settings::Popup, ToFlag>("Popup", "0", "a number: 0 is off, any other on"),
    Key<&Settings::Enabled, ToFlag>("Enabled", "0", "a number: 0 is off, any other on"),
    Key<&Settings::COMPort, ToPort>("COMPort", "1", "a number 0..255, rounded"),
};

}  // namespace

std::span<const SettingKey> SettingKeys() { return kKeys; }

const SettingKey* FindSettingKey(std::string_view name) {
  for (const SettingKey& key : kKeys) {
    if (key.name == name) return &key;
  }
  return nullptr;
}

}  // namespace hushcall
