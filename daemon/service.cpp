// Starting, reloading and stopping the service's parts.
#include "daemon/service.h"

#include <string>
#include <utility>

#include "common/status.h"
#include "settings/setting_keys.h"

namespace hushcall::daemon {

Service::Service(ringwatch::EventLoop& loop, ringwatch::Log& log, std::string configPath)
    : loop_(loop), log_(log), configPath_(std::move(configPath)) {}

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
}

void Service::StopSources() {
  sourcesOn_ = false;
  StopRingSources();
  StopCallMonitor();
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

void Service::Heard(const ringwatch::CallReport& report) {
  // A reaction that fails is told in the log; the call still counts.
  const Status status = StatusOf([&] {
    model_->Report(report);
    return kOk;
  });
  if (Failed(status)) log_.Line("the reaction to a call from " + report.source + " failed");
}

}  // namespace hushcall::daemon
