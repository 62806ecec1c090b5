// Parsing the service's settings file, and comparing two of its results.
#include "settings/settings_file.h"

#include <string>

#include "common/status.h"
#include "settings/conversions.h"
#include "settings/setting_keys.h"

namespace hushcall {
namespace {

constexpr std::string_view kDeviceKey = "Device";
constexpr std::string_view kSourcesKey = "Sources";
constexpr std::string_view kRestoreKey = "Restore";
constexpr std::string_view kDeviceAccepted = "an absolute path such as /dev/ttyACM0";
constexpr std::string_view kSourcesAccepted = "tty, modemmanager or tty,modemmanager";
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

// Sources: names separated by commas, blanks around each allowed, each once.
bool ParseSources(std::string_view text, RingSources& sources) {
  RingSources parsed{false, false};
  while (true) {
    const std::size_t comma = text.find(',');
    const std::string_view name = Trim(text.substr(0, comma));
    bool* slot = name == "tty" ? &parsed.tty : name == "modemmanager" ? &parsed.modemManager : nullptr;
    if (slot == nullptr || *slot) return false;
    *slot = true;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  sources = parsed;
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
    if (key == kRestoreKey) return Restore(number, value);
    if (const SettingKey* setting = FindSettingKey(key)) return Setting(number, *setting, value);
  }

  SettingsFileResult& result() { return result_; }

 private:
  // Records the key's line; false for a key that is not known.
  bool Seen(std::size_t number, std::string_view key) {
    if (key != kDeviceKey && key != kSourcesKey && key != kRestoreKey &&
        FindSettingKey(key) == nullptr) {
      std::string known;
      for (const SettingKey& k : SettingKeys()) known += std::string(k.name) + ", ";
      known += std::string(kDeviceKey) + ", " + std::string(kSourcesKey) + ", " +
               std::string(kRestoreKey);
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
    if (ParseSources(value, result_.settings.sources)) return;
    result_.settings.sources = RingSources{};
    BadValue(number, kSourcesKey, value, kSourcesAccepted, SourcesText(RingSources{}));
  }

  // A flag as the record's flags are read: a leading number, 0 is off.
  void Restore(std::size_t number, std::string_view value) {
    const bool defaultRestore = DefaultServiceSettings().restore;
    if (StartsWithNumber(value)) {
      const Status status = StatusOf([&] {
        result_.settings.restore = LeadingNumber(value) != 0.0;
        return kOk;
      });
      if (status == kOk) return;
    }
    result_.settings.restore = defaultRestore;
    BadValue(number, kRestoreKey, value, kFlagAccepted, defaultRestore ? "1" : "0");
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
  if (sources.tty && sources.modemManager) return "tty,modemmanager";
  if (sources.tty) return "tty";
  if (sources.modemManager) return "modemmanager";
  return "none";
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
  return std::move(parser.result());
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
  // What is opened matters, not how it is named: Device=/dev/ttyS0 and
  // COMPort=1 are the same port.
  change.portChanged = TtyPath(before) != TtyPath(after) || before.sources != after.sources;
  return change;
}

}  // namespace hushcall
