// ModemManager's modems and calls, followed through its ObjectManager, the
// modems' Voice signals and the calls' own state signals.
#include "ringwatch/sources/modemmanager/modem_manager_calls.h"

#include <algorithm>
#include <utility>

#include "common/status.h"

namespace hushcall::ringwatch {

namespace {

constexpr const char* kService = "org.freedesktop.ModemManager1";
constexpr const char* kRootPath = "/org/freedesktop/ModemManager1";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kVoiceInterface = "org.freedesktop.ModemManager1.Modem.Voice";
constexpr const char* kCallInterface = "org.freedesktop.ModemManager1.Call";

// Every signal is also checked to come from ModemManager's unique name.
constexpr const char* kNameOwnerChangedRule =
    "type='signal',sender='org.freedesktop.DBus',path='/org/freedesktop/DBus',"
    "interface='org.freedesktop.DBus',member='NameOwnerChanged',arg0='org.freedesktop."
    "ModemManager1'";
constexpr const char* kObjectManagerRule =
    "type='signal',path='/org/freedesktop/"
    "ModemManager1',interface='org.freedesktop.DBus.ObjectManager'";
constexpr const char* kVoiceRule =
    "type='signal',interface='org.freedesktop.ModemManager1.Modem.Voice'";
constexpr const char* kCallStateRule =
    "type='signal',interface='org.freedesktop.ModemManager1.Call',member='StateChanged'";
constexpr const char* kCallPropertiesRule =
    "type='signal',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged',"
    "arg0='org.freedesktop.ModemManager1.Call'";

std::string_view Member(sd_bus_message& message) {
  const char* member = sd_bus_message_get_member(&message);
  return member ? member : "";
}

std::string PathOf(sd_bus_message& message) {
  const char* path = sd_bus_message_get_path(&message);
  return path ? path : "";
}

}  // namespace

ModemManagerCalls::ModemManagerCalls(Bus& system, std::function<void(const CallReport&)> report,
                                     Log& log)
    : bus_(system),
      report_(std::move(report)),
      log_(log),
      busCalls_(system),
      mmCalls_(system) {
  // The watches first: the bus daemon answers in order, so nothing that
  // happens after the first look is missed.
  watches_.push_back(
      bus_.Match(kNameOwnerChangedRule, [this](sd_bus_message& m) { OnNameOwnerChanged(m); }));
  watches_.push_back(bus_.Match(kObjectManagerRule, [this](sd_bus_message& m) {
    if (Member(m) == "InterfacesAdded") OnInterfacesAdded(m);
    if (Member(m) == "InterfacesRemoved") OnInterfacesRemoved(m);
  }));
  watches_.push_back(bus_.Match(kVoiceRule, [this](sd_bus_message& m) { OnVoiceSignal(m); }));
  watches_.push_back(
      bus_.Match(kCallStateRule, [this](sd_bus_message& m) { OnCallStateChanged(m); }));
  watches_.push_back(
      bus_.Match(kCallPropertiesRule, [this](sd_bus_message& m) { OnCallPropertiesChanged(m); }));
  LookForModemManager();
}

ModemManagerCalls::~ModemManagerCalls() = default;

MessagePtr ModemManagerCalls::NewCall(std::string_view path, const char* interface,
                                      const char* member) {
  // To the unique name: an answer can only come from the ModemManager it
  // was asked of.
  return bus_.NewMethodCall(owner_, path, interface, member);
}

void ModemManagerCalls::LookForModemManager() {
  auto call = bus_.NewMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "GetNameOwner");
  if (sd_bus_message_append(call.get(), "s", kService) < 0) Fail(kFail);
  busCalls_.Call(std::move(call), kCallTimeoutUs, [this](sd_bus_message& reply) {
    if (!sd_bus_message_is_method_error(&reply, nullptr)) {
      Appeared(ReadString(reply));
    } else if (owner_.empty()) {
      log_.Line("ModemManager is not running; Hushcall waits for it");
    }
  });
}

void ModemManagerCalls::OnNameOwnerChanged(sd_bus_message& message) {
  const std::string name = ReadString(message);
  const std::string oldOwner = ReadString(message);
  const std::string newOwner = ReadString(message);
  if (name != kService) return;
  if (!oldOwner.empty() && oldOwner == owner_) Vanished();
  if (!newOwner.empty()) Appeared(newOwner);
}

bool ModemManagerCalls::FromModemManager(sd_bus_message& message) const {
  const char* sender = sd_bus_message_get_sender(&message);
  return sender != nullptr && !owner_.empty() && owner_ == sender;
}

void ModemManagerCalls::Appeared(const std::string& owner) {
  if (owner == owner_) return;
  if (!owner_.empty()) Vanished();
  owner_ = owner;
  log_.Line("ModemManager is running; Hushcall follows its calls");
  mmCalls_.Call(NewCall(kRootPath, kObjectManager, "GetManagedObjects"), kCallTimeoutUs,
                [this](sd_bus_message& reply) {
                  if (sd_bus_message_is_method_error(&reply, nullptr)) {
                    log_.Line("ModemManager did not list its modems (" + ErrorText(reply) + ")");
                    return;
                  }
                  for (const auto& [path, interfaces] : ReadManagedObjects(reply)) {
                    const auto voice = interfaces.find(kVoiceInterface);
                    if (voice != interfaces.end()) AddModem(path, voice->second);
                  }
                });
}

void ModemManagerCalls::Vanished() {
  // A call in progress has ended with the ModemManager that had it; its
  // successor lists its own.
  mmCalls_.Clear();
  owner_.clear();
  const bool inProgress = std::any_of(calls_.begin(), calls_.end(), [](const auto& entry) {
    return entry.second.reported && !entry.second.ended;
  });
  modems_.clear();
  log_.Line(!inProgress
                ? "ModemManager has gone; Hushcall waits for it to come back"
                : "ModemManager has gone, and with it the call in progress; Hushcall waits for it "
                  "to come back");
  EndCalls("");
}

void ModemManagerCalls::OnInterfacesAdded(sd_bus_message& message) {
  if (!FromModemManager(message)) return;
  const std::string path = ReadString(message);
  const InterfaceProperties interfaces = ReadInterfaces(message);
  const auto voice = interfaces.find(kVoiceInterface);
  if (voice != interfaces.end()) AddModem(path, voice->second);
}

void ModemManagerCalls::OnInterfacesRemoved(sd_bus_message& message) {
  if (!FromModemManager(message)) return;
  const std::string path = ReadString(message);
  for (const std::string& interface : ReadStrings(message)) {
    if (interface == kVoiceInterface) RemoveModem(path);
  }
}

void ModemManagerCalls::AddModem(const std::string& path, const Properties& voice) {
  if (modems_.insert(path).second) log_.Line("ModemManager: following the calls of " + path);
  if (const auto calls = Find<std::vector<std::string>>(voice, "Calls")) {
    for (const std::string& call : *calls) AddCall(path, call);
    return;
  }
  // Before ModemManager 1.10 the calls were only listed on request.
  mmCalls_.Call(NewCall(path, kVoiceInterface, "ListCalls"), kCallTimeoutUs,
                [this, path](sd_bus_message& reply) {
                  if (sd_bus_message_is_method_error(&reply, nullptr) || modems_.count(path) == 0)
                    return;
                  for (const std::string& call : ReadStrings(reply)) AddCall(path, call);
                });
}

void ModemManagerCalls::RemoveModem(const std::string& path) {
  if (modems_.erase(path) == 0) return;
  log_.Line("ModemManager: " + path + " has gone");
  EndCalls(path);
}

void ModemManagerCalls::EndCalls(const std::string& modem) {
  std::vector<std::pair<std::string, Call>> due;
  for (auto it = calls_.begin(); it != calls_.end();) {
    if (!modem.empty() && it->second.modem != modem) {
      ++it;
      continue;
    }
    if (it->second.reported && !it->second.ended) due.emplace_back(it->first, it->second);
    it = calls_.erase(it);
  }
  for (const auto& [path, call] : due) Tell(path, call, CallPhase::kEnded);
}

void ModemManagerCalls::OnVoiceSignal(sd_bus_message& message) {
  if (!FromModemManager(message)) return;
  const std::string modem = PathOf(message);
  const std::string_view member = Member(message);
  if (member == "CallAdded") {
    const std::string call = ReadString(message);
    if (modems_.insert(modem).second) log_.Line("ModemManager: following the calls of " + modem);
    AddCall(modem, call);
  } else if (member == "CallDeleted") {
    RemoveCall(ReadString(message));
  }
}

void ModemManagerCalls::AddCall(const std::string& modem, const std::string& path) {
  if (calls_.count(path) != 0) return;
  calls_[path].modem = modem;
  auto call = NewCall(path, kPropertiesInterface, "GetAll");
  if (sd_bus_message_append(call.get(), "s", kCallInterface) < 0) Fail(kFail);
  mmCalls_.Call(std::move(call), kCallTimeoutUs, [this, path](sd_bus_message& reply) {
    const auto it = calls_.find(path);
    if (it == calls_.end()) return;
    if (sd_bus_message_is_method_error(&reply, nullptr)) {
      log_.Line("ModemManager did not describe " + path + " (" + ErrorText(reply) + ")");
      return;
    }
    it->second.known = true;
    Update(path, ReadProperties(reply));
  });
}

void ModemManagerCalls::RemoveCall(const std::string& path) {
  const auto it = calls_.find(path);
  if (it == calls_.end()) return;
  const Call call = it->second;
  calls_.erase(it);
  if (!call.reported || call.ended) return;
  log_.Line("ModemManager: " + path + " was removed");
  Tell(path, call, CallPhase::kEnded);
}

void ModemManagerCalls::OnCallStateChanged(sd_bus_message& message) {
  if (!FromModemManager(message)) return;
  std::int32_t oldState = 0;
  std::int32_t newState = 0;
  std::uint32_t reason = 0;
  if (sd_bus_message_read(&message, "iiu", &oldState, &newState, &reason) < 0) Fail(kTypeMismatch);
  Properties state;
  state["State"] = newState;
  Update(PathOf(message), state);
}

void ModemManagerCalls::OnCallPropertiesChanged(sd_bus_message& message) {
  if (!FromModemManager(message)) return;
  ReadString(message);  // the interface, which the match has checked
  Update(PathOf(message), ReadProperties(message));
}

void ModemManagerCalls::Update(const std::string& path, const Properties& properties) {
  const auto it = calls_.find(path);
  if (it == calls_.end()) return;
  if (const auto direction = Find<std::int32_t>(properties, "Direction"))
    it->second.direction = *direction;
  if (const auto state = Find<std::int32_t>(properties, "State")) it->second.state = *state;
  bool numberChanged = false;
  if (const auto number = Find<std::string>(properties, "Number")) {
    numberChanged = *number != it->second.number;
    it->second.number = *number;
  }
  Evaluate(path, numberChanged);
}

void ModemManagerCalls::Evaluate(const std::string& path, bool numberChanged) {
  auto it = calls_.find(path);
  if (it == calls_.end() || !it->second.known) return;
  Call& call = it->second;
  const bool incoming = call.direction == kMmCallDirectionIncoming;
  const bool outgoing = call.direction == kMmCallDirectionOutgoing;
  CallPhase phase;
  if (!call.reported && incoming && call.state == kMmCallStateRingingIn) {
    log_.Line("ModemManager: incoming call " + path + " is ringing");
    phase = CallPhase::kRinging;
  } else if (!call.reported && outgoing &&
             (call.state == kMmCallStateDialing || call.state == kMmCallStateRingingOut)) {
    log_.Line("ModemManager: outgoing call " + path + " is being dialled");
    phase = CallPhase::kRinging;
  } else if (!call.answered && call.state == kMmCallStateActive &&
             (call.reported || outgoing)) {
    phase = CallPhase::kAnswered;
  } else if (call.reported && !call.ended && call.state == kMmCallStateTerminated) {
    log_.Line("ModemManager: " + path + " has ended");
    phase = CallPhase::kEnded;
  } else if (numberChanged && call.reported && !call.ended && !call.number.empty()) {
    phase = call.answered ? CallPhase::kAnswered : CallPhase::kRinging;
  } else {
    return;
  }
  call.reported = true;
  if (phase == CallPhase::kAnswered) call.answered = true;
  if (phase == CallPhase::kEnded) call.ended = true;
  // A copy: the model may do anything meanwhile, this call's entry included.
  Tell(path, Call(call), phase);
}

void ModemManagerCalls::Tell(const std::string& path, const Call& call, CallPhase phase) {
  CallReport report;
  report.source = kModemManagerSource;
  report.id = path;
  report.direction = call.direction == kMmCallDirectionOutgoing ? CallDirection::kOutgoing
                                                                : CallDirection::kIncoming;
  report.phase = phase;
  // An empty number is all ModemManager says of a withheld one, and of a
  // network that sent none: not known, either way.
  if (!call.number.empty()) report.number = CallerDetail::Known(call.number);
  if (report_) report_(report);
}

}  // namespace hushcall::ringwatch
