// Phone calls as ModemManager sees them, on the system bus: its modems'
// voice calls followed from ringing in to their end. The first ring of an
// incoming call and that call's end are told to the owner; ModemManager
// coming and going (or not running at all) is followed quietly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/dbus/pending_calls.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch {

// ModemManager's public API values (ModemManager-enums.h): MMCallDirection
// and MMCallState.
inline constexpr std::int32_t kMmCallDirectionIncoming = 1;
inline constexpr std::int32_t kMmCallStateRingingIn = 3;
inline constexpr std::int32_t kMmCallStateTerminated = 7;


class ModemManagerCalls {
 public:
  // `onRingIn` runs once per incoming call, when it is first seen ringing
  // in; `onCallEnded` once for each such call, when it is terminated or
  // removed, or when ModemManager (or its modem) goes away meanwhile.
  ModemManagerCalls(Bus& system, std::function<void()> onRingIn, std::function<void()> onCallEnded,
                    Log& log);
  ~ModemManagerCalls();
  ModemManagerCalls(const ModemManagerCalls&) = delete;
  ModemManagerCalls& operator=(const ModemManagerCalls&) = delete;

  // Whether ModemManager is on the bus now, and the voice-capable modems
  // seen on it, for the status and the tests.
  bool running() const { return !owner_.empty(); }
  std::set<std::string> Modems() const { return modems_; }

 private:
  struct Call {
    std::string modem;
    std::int32_t direction = 0;  // unknown until its properties are read
    std::int32_t state = 0;
    bool known = false;  // its properties have been read
    bool rung = false;   // onRingIn has run for it
    bool ended = false;  // onCallEnded has run for it
  };

  void LookForModemManager();
  void OnNameOwnerChanged(sd_bus_message& message);
  void Appeared(const std::string& owner);
  void Vanished();
  bool FromModemManager(sd_bus_message& message) const;

  void OnInterfacesAdded(sd_bus_message& message);
  void OnInterfacesRemoved(sd_bus_message& message);
  void OnVoiceSignal(sd_bus_message& message);
  void OnCallStateChanged(sd_bus_message& message);
  void OnCallPropertiesChanged(sd_bus_message& message);

  void AddModem(const std::string& path, const Properties& voice);
  void RemoveModem(const std::string& path);
  void AddCall(const std::string& modem, const std::string& path);
  void RemoveCall(const std::string& path);
  void Update(const std::string& path, const Properties& properties);
  // Tells the owner what the call's state now means.
  void Evaluate(const std::string& path);
  void Ended(std::size_t calls);

  MessagePtr NewCall(std::string_view path, const char* interface, const char* member);

  Bus& bus_;
  std::function<void()> onRingIn_;
  std::function<void()> onCallEnded_;
  Log& log_;
  PendingCalls busCalls_;  // the bus daemon's answers
  PendingCalls mmCalls_;   // ModemManager's answers; dropped when it goes
  std::string owner_;      // ModemManager's unique name while it runs
  std::set<std::string> modems_;
  std::map<std::string, Call, std::less<>> calls_;
  std::vector<Slot> watches_;
};

}  // namespace hushcall::ringwatch
