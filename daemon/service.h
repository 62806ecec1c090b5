// The desktop service: its settings, and the ring sources and reaction
// composed from them, started, reloaded and stopped in one place.
#pragma once

#include <string>

#include "daemon/settings_loader.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "settings/settings_file.h"

namespace hushcall::daemon {

class Service {
 public:
  Service(ringwatch::EventLoop& loop, ringwatch::Log& log, std::string configPath);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Reads the settings file, logs its messages and what will be watched,
  // and starts the ring sources. Throws Failure when they cannot start.
  void Start();

  // Reads the file again (SIGHUP). Logs its messages and each changed key;
  // restarts the ring sources when the port or Sources changed, else hands
  // the new settings to the running ones. A file that cannot be read keeps
  // the current settings (reported with nothing changed); an absent one
  // means the defaults, as at start.
  SettingsChange Reload();

  const ServiceSettings& settings() const { return settings_; }

 private:
  void Report(const LoadedSettings& loaded);
  void StartSources();
  void StopSources();

  ringwatch::EventLoop& loop_;
  ringwatch::Log& log_;
  const std::string configPath_;
  ServiceSettings settings_ = DefaultServiceSettings();
};

// One line: every key's value and the tty it names.
std::string DescribeSettings(const ServiceSettings& settings);

}  // namespace hushcall::daemon
