// The desktop service: its settings, and the ring sources and reaction
// composed from them, started, reloaded and stopped in one place.
#pragma once

#include <memory>
#include <string>

#include "daemon/settings_loader.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/dbus/bus.h"
#include "ringwatch/dbus/modem_manager_calls.h"
#include "ringwatch/dbus/mpris_reaction.h"
#include "ringwatch/dbus/notification_boxes.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/posix/posix_components.h"
#include "ringwatch/posix/watch_components.h"
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
  // The session bus went away: the loop has been quit, and the service
  // ends with a failure for its unit to restart it.
  bool lost() const { return lost_; }

 private:
  void Report(const LoadedSettings& loaded);
  void StartSources();
  void StopSources();
  // A ring source's first ring of a call, and a known end of one.
  void RingIn();
  void CallEnded();
  void Lost(std::string_view why);

  ringwatch::EventLoop& loop_;
  ringwatch::Log& log_;
  const std::string configPath_;
  ServiceSettings settings_ = DefaultServiceSettings();
  bool lost_ = false;
  // For the service's whole run: the session bus and what quiets players
  // and tells the user, whichever source rings.
  std::unique_ptr<ringwatch::Bus> session_;
  std::unique_ptr<ringwatch::NotificationBoxes> boxes_;
  std::unique_ptr<ringwatch::MprisReaction> reaction_;
  // The ring sources, made again when the port or Sources change. The ring
  // watch outlives its components, which call into it.
  std::unique_ptr<ringwatch::PosixComponents> components_;
  std::unique_ptr<ringwatch::ModRing> ring_;
  std::unique_ptr<ringwatch::WatchComponents> watch_;
  std::unique_ptr<ringwatch::Bus> system_;
  std::unique_ptr<ringwatch::ModemManagerCalls> calls_;
};

// One line: every key's value and the tty it names.
std::string DescribeSettings(const ServiceSettings& settings);

}  // namespace hushcall::daemon
