// Starting, reloading and stopping the service's parts.
#include "daemon/service.h"

#include <utility>

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
  StartSources();
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
  if (change.portChanged) {
    log_.Line("reload: the port or sources changed; restarting the ring sources");
    StopSources();
    StartSources();
  }
  // COMPOSE: otherwise hand settings_ to the running reaction (Action,
  // Volume, Percent, Popup) and start or stop the watch on Enabled.
  return change;
}

void Service::StartSources() {
  if (!settings_.record.Enabled) {
    log_.Line("the ring watch is off (Enabled=0)");
    return;
  }
  // ===================================================================
  // COMPOSE HERE: the ring sources and the reaction, from settings_, all
  // on loop_ and reporting to log_:
  //  - settings_.sources.tty: ModRing over WatchComponents/PosixComponents
  //    on TtyPath(settings_), with MprisReaction and NotificationBoxes;
  //  - settings_.sources.modemManager: ModemManagerCalls with the same
  //    reaction, putting back what it changed when the call ends.
  // Members that own them go in Service; StopSources() destroys them.
  // A source that cannot start throws Failure (systemd restarts us).
  // ===================================================================
}

void Service::StopSources() {
  // COMPOSE HERE: destroy the ring sources and the reaction, newest first.
}

}  // namespace hushcall::daemon
