// Starting, reloading and stopping the service's parts.
#include "daemon/service.h"

#include <unistd.h>

#include <climits>
#include <ctime>
#include <string>
#include <utility>

#include "common/status.h"
#include "ringwatch/posix/secret_file.h"
#include "ringwatch/sources/sip/re_sip_stack.h"
#include "settings/setting_keys.h"

namespace hushcall::daemon {
namespace {

// The machine's name, which other machines know its calls by.
std::string HostName() {
  char name[HOST_NAME_MAX + 1] = "";
  if (::gethostname(name, sizeof name) != 0) return {};
  name[HOST_NAME_MAX] = '\0';
  return name;
}

}  // namespace

Service::Service(ringwatch::EventLoop& loop, ringwatch::Log& log, std::string configPath,
                 std::int64_t remoteSilenceMs, std::string sipNameServer,
                 std::string sipCaFile)
    : loop_(loop),
      log_(log),
      configPath_(std::move(configPath)),
      remoteSilenceMs_(remoteSilenceMs),
      sipNameServer_(std::move(sipNameServer)),
      sipCaFile_(std::move(sipCaFile)) {}

Service::~Service() { StopSources(); }

std::string DescribeSettings(const ServiceSettings& settings) {
  std::string text;
  for (const SettingKey& key : SettingKeys()) {
    text.append(key.name).append("=").append(key.text(settings.record)).append(" ");
  }
  text.append("Device=").append(settings.device).append(" Sources=");
  text.append(SourcesText(settings.sources));
  text.append(" Restore=").append(settings.restore ? "1" : "0");
  text.append(" CallMonitor=").append(CallMonitorText(settings.callMonitor));
  text.append(" Numbers=");
  for (std::size_t i = 0; i < settings.numbers.size(); ++i) {
    text.append(i == 0 ? "" : ",").append(settings.numbers[i]);
  }
  text.append(" Outgoing=").append(settings.outgoing ? "1" : "0");
  text.append(" CallerId=").append(settings.callerId ? "1" : "0");
  const MqttSettings& mqtt = settings.mqtt;
  text.append(" Mqtt=").append(MqttText(mqtt.broker));
  text.append(" MqttPasswordFile=").append(mqtt.passwordFile);
  text.append(" MqttCaFile=").append(mqtt.caFile);
  text.append(" MqttTopic=").append(mqtt.topic);
  text.append(" MqttDiscovery=").append(mqtt.discovery ? "1" : "0");
  text.append(" MqttCallerId=").append(mqtt.callerId ? "1" : "0");
  const SipSettings& sip = settings.sip;
  text.append(" SipAccount=").append(SipAccountText(sip.account));
  text.append(" SipRegistrar=").append(SipRegistrarText(sip.registrar));
  text.append(" SipUser=").append(sip.user);
  text.append(" SipPasswordFile=").append(sip.passwordFile);
  const std::string tty = TtyPath(settings);
  if (settings.sources.tty) text.append("; tty ").append(tty.empty() ? "(none: COMPort=0)" : tty);
  return text;
}

void Service::Report(const LoadedSettings& loaded) {
  for (const std::string& message : loaded.messages) log_.Line(message);
  if (loaded.file == LoadedSettings::File::kAbsent) {
    log_.Line(configPath_ + ": absent; the defaults apply");
  }
}

void Service::Start() {
  const LoadedSettings loaded = LoadSettingsFile(configPath_);
  Report(loaded);
  settings_ = loaded.settings;
  log_.Line("settings: " + DescribeSettings(settings_));
  // Without the session bus there are no players to quiet: fail, and let
  // the unit try again.
  session_ = std::make_unique<ringwatch::Bus>(loop_, ringwatch::BusKind::kSession, log_,
                                              [this] { Lost("the session bus went away"); });
  boxes_ = std::make_unique<ringwatch::NotificationBoxes>(*session_, log_);
  players_ = std::make_unique<ringwatch::MprisReaction>(*session_, settings_.record, log_);
  reactions_ =
      std::make_unique<ringwatch::DesktopReactions>(*players_, *boxes_, settings_.record, log_);
  clock_ = std::make_unique<ringwatch::LoopCallClock>(loop_);
  model_ = std::make_unique<ringwatch::CallModel>(*clock_, *reactions_, settings_);
  model_->SetOnSettled([this] {
    if (publisher_ != nullptr) publisher_->Settled(model_->calls());
  });
  StartSources();
}

void Service::Lost(std::string_view why) {
  log_.Line("hushcalld stops: " + std::string(why) + "; systemd starts it again");
  lost_ = true;
  loop_.Quit();
}

SettingsChange Service::Reload() {
  const LoadedSettings loaded = LoadSettingsFile(configPath_);
  Report(loaded);
  if (loaded.file == LoadedSettings::File::kUnreadable) {
    log_.Line("reload: keeping the current settings");
    return {};
  }
  SettingsChange change = CompareSettings(settings_, loaded.settings);
  if (change.changes.empty()) {
    log_.Line("reload: nothing changed");
    return change;
  }
  for (const std::string& line : change.changes) log_.Line("reload: " + line);
  settings_ = loaded.settings;
  // The running parts read the same settings, so Action, Volume, Percent,
  // Popup, Restore, Numbers and Outgoing apply from the next call; Enabled
  // flipped makes or ends every source, and a source whose own keys changed
  // is made again, the others left as they are.
  if (sourcesOn_ != settings_.record.Enabled) {
    StopSources();
    StartSources();
  } else if (sourcesOn_) {
    if (change.portChanged) {
      log_.Line("reload: the port or sources changed; restarting the ring sources");
      StopRingSources();
      StartRingSources();
    }
    if (change.callMonitorChanged) {
      log_.Line("reload: the call monitor changed; connecting anew");
      StopCallMonitor();
      StartCallMonitor();
    }
    if (change.mqttChanged) {
      log_.Line("reload: MQTT changed; connecting to the broker anew");
      StopMqtt();
      StartMqtt();
    }
    if (change.sipChanged) {
      log_.Line("reload: SIP changed; registering anew");
      StopSip();
      StartSip();
    }
  }
  return change;
}

void Service::StartSources() {
  if (!settings_.record.Enabled) {
    log_.Line("the ring watch is off (Enabled=0)");
    return;
  }
  sourcesOn_ = true;
  StartRingSources();
  StartCallMonitor();
  StartMqtt();
  StartSip();
}

void Service::StopSources() {
  sourcesOn_ = false;
  StopRingSources();
  StopCallMonitor();
  StopMqtt();
  StopSip();
}

void Service::StartRingSources() {
  const auto heard = [this](const ringwatch::CallReport& report) { Heard(report); };
  if (settings_.sources.modemManager) {
    // ModemManager may come later, or restart: the source waits for it.
    system_ = std::make_unique<ringwatch::Bus>(loop_, ringwatch::BusKind::kSystem, log_, [this] {
      log_.Line("ModemManager's calls are no longer watched: the system bus went away");
    });
    modemManager_ = std::make_unique<ringwatch::ModemManagerCalls>(*system_, heard, log_);
  }
  if (settings_.sources.tty) {
    tty_ = std::make_unique<ringwatch::TtyCalls>(loop_, TtyPath(settings_), settings_.record,
                                                 settings_.callerId, *boxes_, log_, heard);
    tty_->Start();
  }
}

void Service::StopRingSources() {
  modemManager_.reset();
  system_.reset();
  tty_.reset();
  // Their calls in progress are over, however they went.
  if (model_ != nullptr) {
    model_->Forget(ringwatch::kModemManagerSource);
    model_->Forget(ringwatch::kTtySource);
  }
}

void Service::StartCallMonitor() {
  // Without an address the settings have said so already.
  if (!settings_.sources.callMonitor || settings_.callMonitor.host.empty()) return;
  // It reads Numbers from settings_, which a reload changes in place.
  callMonitor_ = std::make_unique<ringwatch::CallMonitorCalls>(
      loop_, settings_, *boxes_, log_,
      [this](const ringwatch::CallReport& report) { Heard(report); },
      [this] { model_->Forget(ringwatch::kCallMonitorSource); });
  callMonitor_->Start();
}

void Service::StopCallMonitor() {
  callMonitor_.reset();
  if (model_ != nullptr) model_->Forget(ringwatch::kCallMonitorSource);
}

bool Service::ReadPassword(const std::string& source, const std::string& key,
                           const std::string& path, std::string& password) {
  if (path.empty()) return true;
  // Read again at each start: the file may have changed since it was checked.
  ringwatch::SecretFile file = ringwatch::ReadSecretFile(path);
  if (!file.problem.empty()) {
    log_.Line(source + " is not used: " + key + " " + path + " " + file.problem);
    return false;
  }
  password = std::move(file.secret);
  return true;
}

void Service::StartMqtt() {
  const MqttSettings& mqtt = settings_.mqtt;
  // Without a broker the settings have said why already.
  if (mqtt.broker.host.empty()) return;
  std::string password;
  if (!mqtt.broker.user.empty() &&
      !ReadPassword("MQTT", "MqttPasswordFile", mqtt.passwordFile, password)) {
    return;
  }
  const ringwatch::MqttTopics topics{mqtt.topic, ringwatch::TopicLevel(HostName())};
  publisher_ = std::make_unique<ringwatch::CallPublisher>(
      mqtt, topics,
      [this](const std::string& topic, std::string_view payload, int qos, bool retain) {
        return mqtt_ != nullptr && mqtt_->Publish(topic, payload, qos, retain);
      },
      [] { return static_cast<std::int64_t>(std::time(nullptr)); }, log_);
  if (settings_.sources.mqtt) {
    remoteClock_ = std::make_unique<ringwatch::LoopCallClock>(loop_);
    remote_ = std::make_unique<ringwatch::RemoteCalls>(
        *remoteClock_, log_, topics, [this](const ringwatch::CallReport& report) { Heard(report); },
        [this](std::string_view source) { model_->Forget(source); }, remoteSilenceMs_);
  }
  ringwatch::MqttConnection::Handlers handlers;
  handlers.connected = [this] {
    if (remote_ != nullptr) {
      for (const std::string& filter : remote_->Filters()) mqtt_->Subscribe(filter, 1);
    }
    publisher_->Connected();
  };
  handlers.message = [this](std::string_view topic, std::string_view payload, bool retained) {
    if (remote_ != nullptr) remote_->Take(topic, payload, retained);
  };
  handlers.lost = [this] {
    if (remote_ != nullptr) remote_->Lost();
  };
  mqtt_ = std::make_unique<ringwatch::MqttConnection>(loop_, log_, *boxes_, mqtt, topics,
                                                      std::move(password), std::move(handlers));
  mqtt_->Start();
}

void Service::StopMqtt() {
  // Gone without a goodbye: the broker tells the others by the will.
  mqtt_.reset();
  if (remote_ != nullptr && model_ != nullptr) remote_->ForgetAll();
  remote_.reset();
  remoteClock_.reset();
  publisher_.reset();
}

void Service::StartSip() {
  const SipSettings& sip = settings_.sip;
  // Without an account the settings have said why already.
  if (!settings_.sources.sip || sip.account.domain.empty()) return;
  ringwatch::SipStackConfig config;
  config.account = sip.account;
  config.registrar = EffectiveSipRegistrar(sip);
  config.findRegistrar = sip.registrar.host.empty();
  config.nameServer = sipNameServer_;
  config.caFile = sipCaFile_;
  config.user = sip.user.empty() ? sip.account.user : sip.user;
  if (!ReadPassword("SIP", "SipPasswordFile", sip.passwordFile, config.password)) return;
  sipClock_ = std::make_unique<ringwatch::LoopCallClock>(loop_);
  sip_ = std::make_unique<ringwatch::SipCalls>(
      [this, config](std::function<void(const ringwatch::SipEvent&)> events) {
        return std::make_unique<ringwatch::ReSipStack>(loop_, config, std::move(events));
      },
      sip.account, *sipClock_, *boxes_, log_,
      [this](const ringwatch::CallReport& report) { Heard(report); });
  const Status status = StatusOf([&] {
    sip_->Start();
    return kOk;
  });
  if (Failed(status)) {
    log_.Line("SIP is not used: its stack could not start (status " + std::to_string(status) + ")");
    StopSip();
  }
}

void Service::StopSip() {
  // Unregisters, waiting a moment for the registrar.
  sip_.reset();
  sipClock_.reset();
  if (model_ != nullptr) model_->Forget(ringwatch::kSipSource);
}

void Service::Heard(const ringwatch::CallReport& report) {
  // Published first: what was heard goes out before the line's state that
  // the model makes of it.
  if (publisher_ != nullptr) {
    const Status published = StatusOf([&] {
      publisher_->Heard(report);
      return kOk;
    });
    if (Failed(published)) log_.Line("a call from " + report.source + " could not be published");
  }
  // A reaction that fails is told in the log; the call still counts.
  const Status status = StatusOf([&] {
    model_->Report(report);
    return kOk;
  });
  if (Failed(status)) log_.Line("the reaction to a call from " + report.source + " failed");
}

}  // namespace hushcall::daemon
