// The desktop service's settings file: `Key=value` lines holding the six
// keys of the plug-in, with their meanings, ranges and conversions, and the
// service's own Device, Sources, Restore, CallMonitor, Numbers, Outgoing and
// CallerId, and the Mqtt and Sip keys.
//
// The text's rules:
//  - blank lines, and lines whose first non-blank character is `#`, are
//    ignored; there are no comments after a value;
//  - blanks (spaces, tabs) around the key and around the value are ignored,
//    as is a carriage return at the end of a line;
//  - keys are matched exactly, case included;
//  - numbers are read in the C locale: the decimal separator is `.`;
//  - a line without `=`, an unknown key, a repeated key and a bad value each
//    give one message naming the file, the line and what is wrong. A bad
//    value leaves that key at its default; a repeated key's later line wins,
//    as in systemd's own files;
//  - a flag (Percent, Popup, Enabled, Restore, Outgoing, CallerId,
//    MqttDiscovery, MqttCallerId) must start with a number: the plug-in
//    reads a word as 0, but in a hand-written file `Enabled=yes` meaning
//    "off" would be a trap, so a word is a bad value here.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings.h"

namespace hushcall {

// Where rings come from.
struct RingSources {
  bool tty = true;           // a modem on a tty, answering "RING"
  bool modemManager = false; // ModemManager's incoming calls
  bool callMonitor = false;  // the call monitor of an AVM router, on TCP
  bool mqtt = false;         // other machines' calls, through the MQTT broker
  bool sip = false;          // a SIP phone system, as one more silent phone
  bool operator==(const RingSources&) const = default;
};

// The router's call monitor's port, unless CallMonitor names another.
inline constexpr std::uint16_t kCallMonitorPort = 1012;

// Where the call monitor is: a host name, an IPv4 address, or an IPv6
// address (written in brackets when a port follows).
struct CallMonitorAddress {
  std::string host;  // empty: none set
  std::uint16_t port = kCallMonitorPort;
  bool operator==(const CallMonitorAddress&) const = default;
};

// MQTT's ports, unless Mqtt names another.
inline constexpr std::uint16_t kMqttPort = 1883;
inline constexpr std::uint16_t kMqttTlsPort = 8883;

// The MQTT broker, from Mqtt=mqtt://[user@]host[:port] or mqtts://...
struct MqttBroker {
  bool tls = false;
  std::string user;  // empty: none
  std::string host;  // empty: MQTT is off
  std::uint16_t port = kMqttPort;
  bool operator==(const MqttBroker&) const = default;
};

struct MqttSettings {
  MqttBroker broker;
  std::string passwordFile;  // absolute; empty (or set empty): none
  std::string caFile;        // absolute; empty (or set empty): the system's CAs
  std::string topic = "hushcall";
  bool discovery = true;  // Home Assistant's discovery configs
  bool callerId = false;  // the caller's number and name in what is published
  bool operator==(const MqttSettings&) const = default;
};

// SIP's ports, unless SipRegistrar names another.
inline constexpr std::uint16_t kSipPort = 5060;
inline constexpr std::uint16_t kSipTlsPort = 5061;

enum class SipTransport { kUdp, kTcp, kTls };

// The account Hushcall registers as, from SipAccount=sip:user@domain or
// sips:user@domain.
struct SipAccount {
  bool sips = false;
  std::string user;
  std::string domain;  // empty: SIP is off
  bool operator==(const SipAccount&) const = default;
};

// Where to register, from SipRegistrar=host[:port][;transport=...]; without
// it, the account's domain.
struct SipRegistrar {
  std::string host;        // empty: the account's domain
  std::uint16_t port = 0;  // 0: the transport's own
  SipTransport transport = SipTransport::kUdp;
  bool transportSet = false;  // else UDP, or TLS for a sips: account
  bool operator==(const SipRegistrar&) const = default;
};

struct SipSettings {
  SipAccount account;
  SipRegistrar registrar;
  std::string user;          // the name to sign in with; empty: the account's user
  std::string passwordFile;  // absolute; empty (or set empty): none
  bool operator==(const SipSettings&) const = default;
};

// What the registrar's address comes to: the host, port and transport used.
SipRegistrar EffectiveSipRegistrar(const SipSettings& sip);

struct ServiceSettings {
  Settings record;      // the six; every field known after a parse
  std::string device;   // a tty path as written; empty: from COMPort
  RingSources sources;
  bool restore = true;  // put the music back after the calls
  CallMonitorAddress callMonitor;
  // The user's own numbers: only calls to them (or, outgoing, from them)
  // count. Empty: every call.
  std::vector<std::string> numbers;
  bool outgoing = false;  // calls the user makes quiet the music too
  bool callerId = false;  // ask the tty's modem for the caller's number and name
  MqttSettings mqtt;
  SipSettings sip;
};

// The defaults of a service with no file: the plug-in's, except that
// Enabled is on, since installing and enabling the service asks it to watch.
ServiceSettings DefaultServiceSettings();

// The tty to open: `device`, or /dev/ttyS<COMPort-1>; empty for COMPort 0
// without a device, which names no port.
std::string TtyPath(const ServiceSettings& settings);

// The source names joined by commas ("tty,callmonitor"), or "none".
std::string SourcesText(RingSources sources);

// "host:port", "[v6]:port"; empty for none.
std::string CallMonitorText(const CallMonitorAddress& address);

// "mqtts://user@host:port", always with the port; empty for none.
std::string MqttText(const MqttBroker& broker);

// "sip:user@domain" or "sips:..."; empty for none.
std::string SipAccountText(const SipAccount& account);

// "host:port;transport=udp", always with the port and transport; empty for
// none set.
std::string SipRegistrarText(const SipRegistrar& registrar);

struct SettingsFileResult {
  ServiceSettings settings;
  // One line each, "FILE:LINE: ..."; empty when the text is clean.
  std::vector<std::string> messages;
};

// Parses the text of `fileName`, which names it in the messages.
SettingsFileResult ParseSettingsFile(std::string_view text, std::string_view fileName);

// What a reload changed, for the log and for what has to be restarted.
struct SettingsChange {
  // The tty to open (Device, or COMPort without one), CallerId, or the tty
  // and modemmanager Sources differ: those ring sources must be reopened.
  // (Enabled is in the changes, and the record says which way it went.)
  bool portChanged = false;
  // CallMonitor's address, or callmonitor in Sources, differs: the call
  // monitor must be connected anew. Nothing else reconnects it.
  bool callMonitorChanged = false;
  // Any Mqtt key, or mqtt in Sources, differs: the broker must be
  // connected anew.
  bool mqttChanged = false;
  // Any Sip key, or sip in Sources, differs: the account must be
  // registered anew.
  bool sipChanged = false;
  // "Volume 50 -> 30", one per changed key, in the file's key order.
  std::vector<std::string> changes;
};

SettingsChange CompareSettings(const ServiceSettings& before, const ServiceSettings& after);

}  // namespace hushcall
