// The six settings, their value space and their persisted form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/player_protocol.h"

namespace hushcall {

class SettingsStore;

// What to do to the player on the first ring of a call. 122 is also the
// player's volume request number; 40046 and 40047 are its pause and stop
// command numbers. Any other value is held and sent on unchanged.
enum ActionCode : std::int32_t {
  kActionVolume = kIpcSetVolume,
  kActionPause = kCommandPause,
  kActionStop = kCommandStop,
};

// One setting. It remembers whether it holds a value loaded or applied since
// the last load began, so that saving never writes back a field that this
// session never knew (a failed load, or a Quit before any Initialize, must
// not overwrite the stored settings, not even with an earlier session's).
template <class T>
class Field {
 public:
  Field() = default;
  operator T() const { return value_; }  // NOLINT: reads like the plain field
  T value() const { return value_; }
  bool known() const { return known_; }
  Field& operator=(T value) {
    value_ = value;
    known_ = true;
    return *this;
  }
  // Keeps the value in memory but no longer counts it as known.
  void Forget() { known_ = false; }

 private:
  T value_{};
  bool known_ = false;
};

// Process-wide; zero-filled until loading sets a field.
struct Settings {
  Field<std::int32_t> Action;  // an ActionCode
  Field<std::uint8_t> Volume;  // percent, 0..255 (the dialog offers 0..100)
  Field<bool> Percent;         // Volume is a percentage of the current volume
  Field<bool> Popup;           // show "The phone is ringing!"
  Field<bool> Enabled;         // the ring watch is on
  Field<std::uint8_t> COMPort; // serial port number, 1 is the first
};

// Names that the store, the dialog and the host share.
inline constexpr std::string_view kProductName = "Hushcall";
inline constexpr std::string_view kSettingsSection = "Common";

// true to 1, false to 0.
std::int16_t BoolToBit(bool b);

// Fills the record key by key in the order Action, Volume, Percent, Popup,
// Enabled, COMPort, storing each field before reading the next key. Fields
// that a failure leaves unloaded keep their values but are no longer known.
// `decimalSeparator` is the user locale's, for the strict numbers.
// Throws Failure(kTypeMismatch or kOverflow) at the first key that does not
// convert; the fields before it keep their new values.
void LoadSettings(Settings& settings, SettingsStore& store, std::string_view decimalSeparator);

// Writes the known fields in the same key order. Throws the Failure of the
// first Write that fails; later keys are not written.
void SaveSettings(const Settings& settings, SettingsStore& store);

}  // namespace hushcall
