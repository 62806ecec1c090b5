// Parsing the service's settings file, and comparing two of its results.
#include "settings/settings_file.h"

#include <algorithm>
#include <string>
#include <utility>

#include "common/status.h"
#include "settings/conversions.h"
#include "settings/setting_keys.h"

namespace hushcall {
namespace {

constexpr std::string_view kDeviceKey = "Device";
constexpr std::string_view kSourcesKey = "Sources";
constexpr std::string_view kRestoreKey = "Restore";
constexpr std::string_view kCallMonitorKey = "CallMonitor";
constexpr std::string_view kNumbersKey = "Numbers";
constexpr std::string_view kOutgoingKey = "Outgoing";
constexpr std::string_view kCallerIdKey = "CallerId";
constexpr std::string_view kMqttKey = "Mqtt";
constexpr std::string_view kMqttPasswordFileKey = "MqttPasswordFile";
constexpr std::string_view kMqttCaFileKey = "MqttCaFile";
constexpr std::string_view kMqttTopicKey = "MqttTopic";
constexpr std::string_view kMqttDiscoveryKey = "MqttDiscovery";
constexpr std::string_view kMqttCallerIdKey = "MqttCallerId";
constexpr std::string_view kSipAccountKey = "SipAccount";
constexpr std::string_view kSipRegistrarKey = "SipRegistrar";
constexpr std::string_view kSipUserKey = "SipUser";
constexpr std::string_view kSipPasswordFileKey = "SipPasswordFile";
// The service's own keys, in the order the messages and changes name them.
constexpr std::string_view kServiceKeys[] = {
    kDeviceKey,   kSourcesKey,  kRestoreKey,          kCallMonitorKey, kNumbersKey,
    kOutgoingKey, kCallerIdKey, kMqttKey,             kMqttPasswordFileKey,
    kMqttCaFileKey, kMqttTopicKey, kMqttDiscoveryKey, kMqttCallerIdKey, kSipAccountKey,
    kSipRegistrarKey, kSipUserKey, kSipPasswordFileKey};
constexpr std::string_view kDeviceAccepted = "an absolute path such as /dev/ttyACM0";
constexpr std::string_view kSourcesAccepted =
    "tty, modemmanager, callmonitor, mqtt or sip, or several of them joined by commas";
constexpr std::string_view kCallMonitorAccepted =
    "a host name or address with an optional port, such as fritz.box, 192.168.178.1:1012 or "
    "[fd00::1]:1012";
constexpr std::string_view kMqttAccepted =
    "mqtt://[user@]host[:port] or mqtts://[user@]host[:port], such as mqtt://broker.lan or "
    "mqtts://hushcall@[fd00::2]:8883 (the password goes in MqttPasswordFile)";
constexpr std::string_view kFileAccepted = "an absolute path";
constexpr std::string_view kSipAccountAccepted =
    "sip:user@domain or sips:user@domain, such as sip:hushcall@pbx.lan (the password goes in "
    "SipPasswordFile)";
constexpr std::string_view kSipRegistrarAccepted =
    "host[:port][;transport=udp|tcp|tls], such as pbx.lan, 192.168.1.2:5080 or "
    "[fd00::3];transport=tcp";
constexpr std::string_view kSipUserAccepted = "a name without blanks, @ or :";
// Longest SIP user and sign-in name taken.
constexpr std::size_t kMaxSipUser = 128;
constexpr std::string_view kMqttTopicAccepted =
    "topic levels joined by /, such as hushcall or home/phone, without +, #, a leading $ or an "
    "empty level";
// Longest MQTT user name and topic prefix taken: far below the protocol's
// bounds, and room for the levels added below the prefix.
constexpr std::size_t kMaxMqttUser = 128;
constexpr std::size_t kMaxMqttTopic = 128;
constexpr std::string_view kNumbersAccepted =
    "a comma-separated list of phone numbers (digits, +, * and #)";
// Longest DNS name.
constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxPhoneNumber = 64;
constexpr std::string_view kFlagAccepted = "a number: 0 is off, any other on";
// The file is the same on every machine, whatever the user's locale.
constexpr std::string_view kDecimalSeparator = ".";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether the flag's text starts with a number, as LeadingNumber reads one
// (which skips blanks anywhere): a sign, then a digit or a point and digit.
bool StartsWithNumber(std::string_view text) {
  std::string compact;
  for (char c : text) {
    if (c != ' ' && c != '\t') compact.push_back(c);
  }
  std::string_view rest = compact;
  if (!rest.empty() && (rest[0] == '+' || rest[0] == '-')) rest.remove_prefix(1);
  if (!rest.empty() && rest[0] == '.') rest.remove_prefix(1);
  return !rest.empty() && IsDigit(rest[0]);
}

bool IsFlag(const SettingKey& key) {
  return key.name == "Percent" || key.name == "Popup" || key.name == "Enabled";
}

bool IsServiceKey(std::string_view key) {
  for (std::string_view own : kServiceKeys) {
    if (own == key) return true;
  }
  return false;
}

// Items separated by commas, blanks around each trimmed; false as soon as
// `item` refuses one.
template <typename Item>
bool ForEachItem(std::string_view text, Item item) {
  while (true) {
    const std::size_t comma = text.find(',');
    if (!item(Trim(text.substr(0, comma)))) return false;
    if (comma == std::string_view::npos) return true;
    text.remove_prefix(comma + 1);
  }
}

// Sources: names separated by commas, each once.
bool ParseSources(std::string_view text, RingSources& sources) {
  RingSources parsed{false, false, false};
  const bool ok = ForEachItem(text, [&](std::string_view name) {
    bool* slot = name == "tty"            ? &parsed.tty
                 : name == "modemmanager" ? &parsed.modemManager
                 : name == "callmonitor"  ? &parsed.callMonitor
                 : name == "mqtt"         ? &parsed.mqtt
                 : name == "sip"          ? &parsed.sip
                                          : nullptr;
    if (slot == nullptr || *slot) return false;
    *slot = true;
    return true;
  });
  if (ok) sources = parsed;
  return ok;
}

bool IsHostNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '.';
}

bool IsV6Char(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

template <typename Allowed>
bool AllOf(std::string_view text, Allowed allowed) {
  for (char c : text) {
    if (!allowed(c)) return false;
  }
  return true;
}

// host, host:port, v6 alone, [v6] or [v6]:port; a port 1..65535. Whether the
// host exists is the resolver's business, at connect time.
bool ParseHostPort(std::string_view text, std::uint16_t defaultPort, CallMonitorAddress& address) {
  CallMonitorAddress parsed;
  parsed.port = defaultPort;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return false;
    parsed.host = std::string(text.substr(1, close - 1));
    const std::string_view rest = text.substr(close + 1);
    if (!rest.empty() && rest.front() != ':') return false;
    if (!rest.empty()) port = rest.substr(1);
    if (!rest.empty() && port.empty()) return false;
    if (parsed.host.find(':') == std::string::npos || !AllOf(parsed.host, IsV6Char)) return false;
  } else if (std::count(text.begin(), text.end(), ':') > 1) {
    parsed.host = std::string(text);  // IPv6 without a port
    if (!AllOf(parsed.host, IsV6Char)) return false;
  } else {
    const std::size_t colon = text.find(':');
    parsed.host = std::string(text.substr(0, colon));
    if (colon != std::string_view::npos) {
      port = text.substr(colon + 1);
      if (port.empty()) return false;
    }
    if (!AllOf(parsed.host, IsHostNameChar) || parsed.host.starts_with('-')) return false;
  }
  if (parsed.host.empty() || parsed.host.size() > kMaxHostName) return false;
  if (!port.empty()) {
    if (port.size() > 5 || !AllOf(port, IsDigit)) return false;
    const int value = std::stoi(std::string(port));
    if (value < 1 || value > 65535) return false;
    parsed.port = static_cast<std::uint16_t>(value);
  }
  address = std::move(parsed);
  return true;
}

bool ParseCallMonitor(std::string_view text, CallMonitorAddress& address) {
  return ParseHostPort(text, kCallMonitorPort, address);
}

// mqtt://[user@]host[:port] or mqtts://..., host[:port] as CallMonitor's. A
// password in the address would sit in a file that many may read: refused.
bool ParseMqtt(std::string_view text, MqttBroker& broker) {
  MqttBroker parsed;
  if (text.starts_with("mqtts://")) {
    parsed.tls = true;
    text.remove_prefix(8);
  } else if (text.starts_with("mqtt://")) {
    text.remove_prefix(7);
  } else {
    return false;
  }
  // A trailing slash is how such addresses are often copied.
  if (text.ends_with('/')) text.remove_suffix(1);
  const std::size_t at = text.rfind('@');
  if (at != std::string_view::npos) {
    parsed.user = std::string(text.substr(0, at));
    text.remove_prefix(at + 1);
    if (parsed.user.empty() || parsed.user.size() > kMaxMqttUser) return false;
    const bool printable = AllOf(parsed.user, [](char c) {
      return c > ' ' && c < 0x7f && c != ':' && c != '@' && c != '/';
    });
    if (!printable) return false;
  }
  if (text.find('/') != std::string_view::npos) return false;
  CallMonitorAddress address;
  if (!ParseHostPort(text, parsed.tls ? kMqttTlsPort : kMqttPort, address)) return false;
  parsed.host = std::move(address.host);
  parsed.port = address.port;
  broker = std::move(parsed);
  return true;
}

// A SIP user part or sign-in name: printable, without what would end it in
// an address. Escapes (%xx) pass as they are.
bool IsSipUser(std::string_view text) {
  return !text.empty() && text.size() <= kMaxSipUser && AllOf(text, [](char c) {
    return c > ' ' && c < 0x7f && c != '@' && c != ':' && c != '<' && c != '>' && c != '"';
  });
}

// sip:user@domain or sips:user@domain; the domain a host name or address,
// without a port (SipRegistrar names one). A password in the address is
// refused, as Mqtt's.
bool ParseSipAccount(std::string_view text, SipAccount& account) {
  SipAccount parsed;
  if (text.starts_with("sips:")) {
    parsed.sips = true;
    text.remove_prefix(5);
  } else if (text.starts_with("sip:")) {
    text.remove_prefix(4);
  } else {
    return false;
  }
  const std::size_t at = text.find('@');
  if (at == std::string_view::npos || !IsSipUser(text.substr(0, at))) return false;
  parsed.user = std::string(text.substr(0, at));
  CallMonitorAddress address;
  // Port 0 is none given: a port belongs in SipRegistrar.
  if (!ParseHostPort(text.substr(at + 1), 0, address) || address.port != 0) return false;
  parsed.domain = std::move(address.host);
  account = std::move(parsed);
  return true;
}

// host[:port][;transport=udp|tcp|tls], host[:port] as CallMonitor's.
bool ParseSipRegistrar(std::string_view text, SipRegistrar& registrar) {
  SipRegistrar parsed;
  const std::size_t semicolon = text.find(';');
  if (semicolon != std::string_view::npos) {
    const std::string_view param = text.substr(semicolon + 1);
    text = text.substr(0, semicolon);
    parsed.transportSet = true;
    if (param == "transport=udp") {
      parsed.transport = SipTransport::kUdp;
    } else if (param == "transport=tcp") {
      parsed.transport = SipTransport::kTcp;
    } else if (param == "transport=tls") {
      parsed.transport = SipTransport::kTls;
    } else {
      return false;
    }
  }
  CallMonitorAddress address;
  if (!ParseHostPort(text, 0, address)) return false;
  parsed.host = std::move(address.host);
  parsed.port = address.port;
  registrar = std::move(parsed);
  return true;
}

// A prefix of topic levels that we publish under and subscribe below: no
// wildcard, no empty level, and not the broker's own $ topics.
bool ParseMqttTopic(std::string_view text, std::string& topic) {
  if (text.empty() || text.size() > kMaxMqttTopic || text.front() == '$') return false;
  if (text.front() == '/' || text.back() == '/' || text.find("//") != std::string_view::npos)
    return false;
  if (!AllOf(text, [](char c) { return c > ' ' && c != 0x7f && c != '+' && c != '#'; }))
    return false;
  topic = std::string(text);
  return true;
}

// Numbers: empty for all, else numbers separated by commas.
bool ParseNumbers(std::string_view text, std::vector<std::string>& numbers) {
  std::vector<std::string> parsed;
  if (!text.empty()) {
    const bool ok = ForEachItem(text, [&](std::string_view number) {
      if (number.empty() || number.size() > kMaxPhoneNumber) return false;
      if (!AllOf(number, [](char c) { return IsDigit(c) || c == '+' || c == '*' || c == '#'; }))
        return false;
      parsed.emplace_back(number);
      return true;
    });
    if (!ok) return false;
  }
  numbers = std::move(parsed);
  return true;
}

class Parser {
 public:
  explicit Parser(std::string_view fileName) : fileName_(fileName) {}

  void Line(std::size_t number, std::string_view line) {
    line = Trim(line);
    if (line.empty() || line.front() == '#') return;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      std::string text(1, '\'');
      text.append(line).append("' is not a Key=value line; ignored");
      Message(number, text);
      return;
    }
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (!Seen(number, key)) return;
    if (key == kDeviceKey) return Device(number, value);
    if (key == kSourcesKey) return Sources(number, value);
    if (key == kRestoreKey) return Flag(number, kRestoreKey, value, result_.settings.restore,
                                        DefaultServiceSettings().restore);
    if (key == kCallMonitorKey) return CallMonitor(number, value);
    if (key == kNumbersKey) return Numbers(number, value);
    if (key == kOutgoingKey) return Flag(number, kOutgoingKey, value, result_.settings.outgoing,
                                         DefaultServiceSettings().outgoing);
    if (key == kCallerIdKey) return Flag(number, kCallerIdKey, value, result_.settings.callerId,
                                         DefaultServiceSettings().callerId);
    if (key.starts_with(kMqttKey)) return Mqtt(number, key, value);
    if (key.starts_with("Sip")) return Sip(number, key, value);
    if (const SettingKey* setting = FindSettingKey(key)) return Setting(number, *setting, value);
  }

  // The checks across keys, once every line is read.
  SettingsFileResult& Finish() {
    const ServiceSettings& settings = result_.settings;
    if (settings.sources.callMonitor && settings.callMonitor.host.empty()) {
      Message(sourcesLine_, "Sources names callmonitor, but no CallMonitor=host is set; the call "
                            "monitor is not watched");
    }
    if (settings.sources.mqtt && settings.mqtt.broker.host.empty()) {
      Message(sourcesLine_, "Sources names mqtt, but no Mqtt=mqtt://host is set; no calls come "
                            "from other machines");
    }
    if (!settings.mqtt.passwordFile.empty() && settings.mqtt.broker.user.empty()) {
      Message(passwordFileLine_, "MqttPasswordFile is set, but Mqtt names no user "
                                 "(mqtt://user@host); the password is not used");
    }
    if (!settings.mqtt.caFile.empty() && !settings.mqtt.broker.tls) {
      Message(caFileLine_, "MqttCaFile is set, but Mqtt is not an mqtts:// address; the CA file "
                           "is not used");
    }
    const SipSettings& sip = settings.sip;
    if (settings.sources.sip && sip.account.domain.empty()) {
      Message(sourcesLine_, "Sources names sip, but no SipAccount=sip:user@domain is set; no "
                            "calls come from a SIP phone system");
    }
    if (sip.account.domain.empty()) {
      for (const auto& [line, key] : {std::pair{sipRegistrarLine_, kSipRegistrarKey},
                                      std::pair{sipUserLine_, kSipUserKey},
                                      std::pair{sipPasswordFileLine_, kSipPasswordFileKey}}) {
        if (line != 0) {
          Message(line, std::string(key) + " is set, but no SipAccount is; it is not used");
        }
      }
    } else if (sip.account.sips && sip.registrar.transportSet &&
               sip.registrar.transport != SipTransport::kTls) {
      Message(sipRegistrarLine_, "SipRegistrar names a transport other than tls, but SipAccount "
                                 "is a sips: address, which is reached over TLS alone; tls is "
                                 "used");
    }
    return result_;
  }

 private:
  // Records the key's line; false for a key that is not known.
  bool Seen(std::size_t number, std::string_view key) {
    if (!IsServiceKey(key) && FindSettingKey(key) == nullptr) {
      std::string known;
      for (const SettingKey& k : SettingKeys()) known += std::string(k.name) + ", ";
      for (std::string_view own : kServiceKeys) known.append(own).append(", ");
      known.resize(known.size() - 2);
      Message(number, "unknown key '" + std::string(key) + "' (the keys are " + known + "); ignored");
      return false;
    }
    for (const auto& [name, line] : seen_) {
      if (name == key) {
        Message(number, std::string(key) + " is also set on line " + std::to_string(line) +
                            "; this line wins");
      }
    }
    seen_.emplace_back(std::string(key), number);
    return true;
  }

  void Setting(std::size_t number, const SettingKey& key, std::string_view value) {
    Settings& record = result_.settings.record;
    Status status = kOk;
    if (IsFlag(key) && !StartsWithNumber(value)) {
      status = kTypeMismatch;
    } else {
      status = StatusOf([&] {
        key.load(record, value, kDecimalSeparator);
        return kOk;
      });
    }
    if (status == kOk) return;
    // The default again: an earlier line may have set this key.
    key.load(record, key.text(DefaultServiceSettings().record), kDecimalSeparator);
    BadValue(number, key.name, value, key.accepted, key.text(record));
  }

  void Device(std::size_t number, std::string_view value) {
    if (!value.empty() && value.front() == '/') {
      result_.settings.device = std::string(value);
      return;
    }
    result_.settings.device.clear();
    BadValue(number, kDeviceKey, value, kDeviceAccepted, "none: COMPort names the port");
  }

  void Sources(std::size_t number, std::string_view value) {
    sourcesLine_ = number;
    if (ParseSources(value, result_.settings.sources)) return;
    result_.settings.sources = RingSources{};
    BadValue(number, kSourcesKey, value, kSourcesAccepted, SourcesText(RingSources{}));
  }

  // A flag as the record's flags are read: a leading number, 0 is off.
  void Flag(std::size_t number, std::string_view key, std::string_view value, bool& flag,
            bool defaultValue) {
    if (StartsWithNumber(value)) {
      const Status status = StatusOf([&] {
        flag = LeadingNumber(value) != 0.0;
        return kOk;
      });
      if (status == kOk) return;
    }
    flag = defaultValue;
    BadValue(number, key, value, kFlagAccepted, defaultValue ? "1" : "0");
  }

  void CallMonitor(std::size_t number, std::string_view value) {
    if (ParseCallMonitor(value, result_.settings.callMonitor)) return;
    result_.settings.callMonitor = {};
    BadValue(number, kCallMonitorKey, value, kCallMonitorAccepted, "none");
  }

  void Mqtt(std::size_t number, std::string_view key, std::string_view value) {
    MqttSettings& mqtt = result_.settings.mqtt;
    const MqttSettings defaults;
    if (key == kMqttKey) {
      if (ParseMqtt(value, mqtt.broker)) return;
      mqtt.broker = defaults.broker;
      return BadValue(number, key, value, kMqttAccepted, "none: MQTT is off");
    }
    if (key == kMqttPasswordFileKey || key == kMqttCaFileKey) {
      const bool password = key == kMqttPasswordFileKey;
      (password ? passwordFileLine_ : caFileLine_) = number;
      std::string& path = password ? mqtt.passwordFile : mqtt.caFile;
      // Empty: none, as when the key is not there.
      if (value.empty() || value.front() == '/') {
        path = std::string(value);
        return;
      }
      path.clear();
      return BadValue(number, key, value, kFileAccepted,
                      password ? "none: no password" : "none: the system's CAs");
    }
    if (key == kMqttTopicKey) {
      if (ParseMqttTopic(value, mqtt.topic)) return;
      mqtt.topic = defaults.topic;
      return BadValue(number, key, value, kMqttTopicAccepted, defaults.topic);
    }
    if (key == kMqttDiscoveryKey) return Flag(number, key, value, mqtt.discovery, defaults.discovery);
    if (key == kMqttCallerIdKey) return Flag(number, key, value, mqtt.callerId, defaults.callerId);
  }

  void Sip(std::size_t number, std::string_view key, std::string_view value) {
    SipSettings& sip = result_.settings.sip;
    const SipSettings defaults;
    if (key == kSipAccountKey) {
      if (ParseSipAccount(value, sip.account)) return;
      sip.account = defaults.account;
      return BadValue(number, key, value, kSipAccountAccepted, "none: SIP is off");
    }
    if (key == kSipRegistrarKey) {
      sipRegistrarLine_ = value.empty() ? 0 : number;
      // Empty: the account's domain, as when the key is not there.
      if (value.empty() || ParseSipRegistrar(value, sip.registrar)) {
        if (value.empty()) sip.registrar = defaults.registrar;
        return;
      }
      sip.registrar = defaults.registrar;
      return BadValue(number, key, value, kSipRegistrarAccepted, "none: the account's domain");
    }
    if (key == kSipUserKey) {
      sipUserLine_ = value.empty() ? 0 : number;
      if (value.empty() || IsSipUser(value)) {
        sip.user = std::string(value);
        return;
      }
      sip.user.clear();
      return BadValue(number, key, value, kSipUserAccepted, "none: the account's user");
    }
    if (key == kSipPasswordFileKey) {
      sipPasswordFileLine_ = value.empty() ? 0 : number;
      if (value.empty() || value.front() == '/') {
        sip.passwordFile = std::string(value);
        return;
      }
      sip.passwordFile.clear();
      return BadValue(number, key, value, kFileAccepted, "none: no password");
    }
  }

  void Numbers(std::size_t number, std::string_view value) {
    if (ParseNumbers(value, result_.settings.numbers)) return;
    result_.settings.numbers.clear();
    BadValue(number, kNumbersKey, value, kNumbersAccepted, "none: every call counts");
  }

  void BadValue(std::size_t number, std::string_view key, std::string_view value,
                std::string_view accepted, std::string_view used) {
    Message(number, std::string(key) + "='" + std::string(value) + "' is not " + std::string(accepted) +
                        "; using the default, " + std::string(used));
  }

  void Message(std::size_t number, const std::string& text) {
    result_.messages.push_back(std::string(fileName_) + ":" + std::to_string(number) + ": " + text);
  }

  std::string_view fileName_;
  std::vector<std::pair<std::string, std::size_t>> seen_;
  std::size_t sourcesLine_ = 0;
  std::size_t passwordFileLine_ = 0;
  std::size_t caFileLine_ = 0;
  std::size_t sipRegistrarLine_ = 0;
  std::size_t sipUserLine_ = 0;
  std::size_t sipPasswordFileLine_ = 0;
  SettingsFileResult result_{DefaultServiceSettings(), {}};
};

}  // namespace

ServiceSettings DefaultServiceSettings() {
  ServiceSettings settings;
  for (const SettingKey& key : SettingKeys()) {
    key.load(settings.record, key.defaultText, kDecimalSeparator);
  }
  settings.record.Enabled = true;
  return settings;
}

std::string TtyPath(const ServiceSettings& settings) {
  if (!settings.device.empty()) return settings.device;
  const int port = settings.record.COMPort;
  if (port == 0) return {};
  return "/dev/ttyS" + std::to_string(port - 1);
}

std::string SourcesText(RingSources sources) {
  std::string text;
  if (sources.tty) text += ",tty";
  if (sources.modemManager) text += ",modemmanager";
  if (sources.callMonitor) text += ",callmonitor";
  if (sources.mqtt) text += ",mqtt";
  if (sources.sip) text += ",sip";
  return text.empty() ? "none" : text.substr(1);
}

std::string CallMonitorText(const CallMonitorAddress& address) {
  if (address.host.empty()) return {};
  const bool v6 = address.host.find(':') != std::string::npos;
  return (v6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

std::string MqttText(const MqttBroker& broker) {
  if (broker.host.empty()) return {};
  const bool v6 = broker.host.find(':') != std::string::npos;
  return std::string(broker.tls ? "mqtts://" : "mqtt://") +
         (broker.user.empty() ? std::string() : broker.user + "@") +
         (v6 ? "[" + broker.host + "]" : broker.host) + ":" + std::to_string(broker.port);
}

SipRegistrar EffectiveSipRegistrar(const SipSettings& sip) {
  SipRegistrar registrar = sip.registrar;
  if (registrar.host.empty()) registrar.host = sip.account.domain;
  if (sip.account.sips) {
    registrar.transport = SipTransport::kTls;
  }
  if (registrar.port == 0) {
    registrar.port = registrar.transport == SipTransport::kTls ? kSipTlsPort : kSipPort;
  }
  return registrar;
}

std::string SipAccountText(const SipAccount& account) {
  if (account.domain.empty()) return {};
  const bool v6 = account.domain.find(':') != std::string::npos;
  return std::string(account.sips ? "sips:" : "sip:") + account.user + "@" +
         (v6 ? "[" + account.domain + "]" : account.domain);
}

std::string SipRegistrarText(const SipRegistrar& registrar) {
  if (registrar.host.empty()) return {};
  const char* transport = registrar.transport == SipTransport::kTls   ? "tls"
                          : registrar.transport == SipTransport::kTcp ? "tcp"
                                                                      : "udp";
  const std::uint16_t port = registrar.port != 0 ? registrar.port
                             : registrar.transport == SipTransport::kTls ? kSipTlsPort
                                                                         : kSipPort;
  return CallMonitorText({registrar.host, port}) + ";transport=" + transport;
}

SettingsFileResult ParseSettingsFile(std::string_view text, std::string_view fileName) {
  Parser parser(fileName);
  std::size_t number = 1;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    parser.Line(number++, text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return std::move(parser.Finish());
}

SettingsChange CompareSettings(const ServiceSettings& before, const ServiceSettings& after) {
  SettingsChange change;
  auto note = [&](std::string_view name, const std::string& was, const std::string& now) {
    if (was != now) change.changes.push_back(std::string(name) + " " + was + " -> " + now);
  };
  for (const SettingKey& key : SettingKeys()) {
    note(key.name, key.text(before.record), key.text(after.record));
  }
  auto device = [](const ServiceSettings& s) { return s.device.empty() ? std::string("(from COMPort)") : s.device; };
  note(kDeviceKey, device(before), device(after));
  note(kSourcesKey, SourcesText(before.sources), SourcesText(after.sources));
  note(kRestoreKey, before.restore ? "1" : "0", after.restore ? "1" : "0");
  auto address = [](const ServiceSettings& s) {
    return s.callMonitor.host.empty() ? std::string("(none)") : CallMonitorText(s.callMonitor);
  };
  note(kCallMonitorKey, address(before), address(after));
  auto numbers = [](const ServiceSettings& s) {
    std::string text;
    for (const std::string& number : s.numbers) text.append(text.empty() ? "" : ",").append(number);
    return text.empty() ? std::string("(all)") : text;
  };
  note(kNumbersKey, numbers(before), numbers(after));
  note(kOutgoingKey, before.outgoing ? "1" : "0", after.outgoing ? "1" : "0");
  note(kCallerIdKey, before.callerId ? "1" : "0", after.callerId ? "1" : "0");
  auto orNone = [](const std::string& text) { return text.empty() ? std::string("(none)") : text; };
  const MqttSettings& was = before.mqtt;
  const MqttSettings& now = after.mqtt;
  note(kMqttKey, orNone(MqttText(was.broker)), orNone(MqttText(now.broker)));
  note(kMqttPasswordFileKey, orNone(was.passwordFile), orNone(now.passwordFile));
  note(kMqttCaFileKey, orNone(was.caFile), orNone(now.caFile));
  note(kMqttTopicKey, was.topic, now.topic);
  note(kMqttDiscoveryKey, was.discovery ? "1" : "0", now.discovery ? "1" : "0");
  note(kMqttCallerIdKey, was.callerId ? "1" : "0", now.callerId ? "1" : "0");
  const SipSettings& sipWas = before.sip;
  const SipSettings& sipNow = after.sip;
  note(kSipAccountKey, orNone(SipAccountText(sipWas.account)), orNone(SipAccountText(sipNow.account)));
  note(kSipRegistrarKey, orNone(SipRegistrarText(sipWas.registrar)),
       orNone(SipRegistrarText(sipNow.registrar)));
  note(kSipUserKey, orNone(sipWas.user), orNone(sipNow.user));
  note(kSipPasswordFileKey, orNone(sipWas.passwordFile), orNone(sipNow.passwordFile));
  // What is opened matters, not how it is named: Device=/dev/ttyS0 and
  // COMPort=1 are the same port.
  change.portChanged = TtyPath(before) != TtyPath(after) ||
                       before.sources.tty != after.sources.tty ||
                       before.sources.modemManager != after.sources.modemManager ||
                       before.callerId != after.callerId;
  change.callMonitorChanged = before.callMonitor != after.callMonitor ||
                              before.sources.callMonitor != after.sources.callMonitor;
  change.mqttChanged = was != now || before.sources.mqtt != after.sources.mqtt;
  // SipRegistrar=pbx.lan and pbx.lan:5060;transport=udp are the same place.
  change.sipChanged = sipWas.account != sipNow.account || sipWas.user != sipNow.user ||
                      sipWas.passwordFile != sipNow.passwordFile ||
                      SipRegistrarText(EffectiveSipRegistrar(sipWas)) !=
                          SipRegistrarText(EffectiveSipRegistrar(sipNow)) ||
                      before.sources.sip != after.sources.sip;
  return change;
}

}  // namespace hushcall
