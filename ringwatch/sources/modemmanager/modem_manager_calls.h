// Phone calls as ModemManager sees them, on the system bus: its modems'
// voice calls, incoming from ringing in and outgoing from dialling, each
// reported to the call model as it rings, is answered and ends (hung up,
// removed, or gone with its modem or with ModemManager). ModemManager
// coming and going (or not running at all) is followed quietly.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_report.h"
#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/bus_message.h"
#include "ringwatch/dbus/pending_calls.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch {

// ModemManager's public API values (ModemManager-enums.h): MMCallDirection
// and MMCallState.
inline constexpr std::int32_t kMmCallDirectionIncoming = 1;
inline constexpr std::int32_t kMmCallDirectionOutgoing = 2;
inline constexpr std::int32_t kMmCallStateDialing = 1;
inline constexpr std::int32_t kMmCallStateRingingOut = 2;
inline constexpr std::int32_t kMmCallStateRingingIn = 3;
inline constexpr std::int32_t kMmCallStateActive = 4;
inline constexpr std::int32_t kMmCallStateTerminated = 7;

// The source's name in its reports; a call's id is its object path.
inline constexpr const char* kModemManagerSource = "modemmanager";


class ModemManagerCalls {
 public:
  // `report` hears an incoming call first when it rings in, an outgoing one
  // when it is dialled (or, seen late, answered); then its answer once, and
  // its end once. A call first seen in another state is not reported.
  ModemManagerCalls(Bus& system, std::function<void(const CallReport&)> report, Log& log);
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
    std::string number;  // the other party's, when ModemManager knows it
    bool known = false;     // its properties have been read
    bool reported = false;  // its first report has been made
    bool answered = false;  // its answer has been reported
    bool ended = false;     // its end has been reported
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
  // Reports what the call's state now means.
  // Reports what changed; `numberChanged` reports a call in progress again
  // when nothing else did, as its number may come after its first ring.
  void Evaluate(const std::string& path, bool numberChanged = false);
  void Tell(const std::string& path, const Call& call, CallPhase phase);
  // Reports the end of every call of `modem` (all, when empty) that was
  // reported and not ended, and forgets them.
  void EndCalls(const std::string& modem);

  MessagePtr NewCall(std::string_view path, const char* interface, const char* member);

  Bus& bus_;
  std::function<void(const CallReport&)> report_;
  Log& log_;
  PendingCalls busCalls_;  // the bus daemon's answers
  PendingCalls mmCalls_;   // ModemManager's answers; dropped when it goes
  std::string owner_;      // ModemManager's unique name while it runs
  std::set<std::string> modems_;
  std::map<std::string, Call, std::less<>> calls_;
  std::vector<Slot> watches_;
};

}  // namespace hushcall::ringwatch
