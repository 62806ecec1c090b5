// The desktop service: its settings, and the call sources, the call model
// and the reactions composed from them, started, reloaded and stopped in
// one place.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "daemon/settings_loader.h"
#include "ringwatch/calls/call_model.h"
#include "ringwatch/calls/call_report.h"
#include "ringwatch/dbus/bus.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/posix/loop_call_clock.h"
#include "ringwatch/reactions/desktop_reactions.h"
#include "ringwatch/reactions/mpris_reaction.h"
#include "ringwatch/reactions/notification_boxes.h"
#include "ringwatch/sources/callmonitor/call_monitor_calls.h"
#include "ringwatch/sources/callmonitor/call_monitor_line.h"
#include "ringwatch/sources/modemmanager/modem_manager_calls.h"
#include "ringwatch/sources/mqtt/call_publisher.h"
#include "ringwatch/sources/mqtt/mqtt_connection.h"
#include "ringwatch/sources/mqtt/remote_calls.h"
#include "ringwatch/sources/sip/sip_calls.h"
#include "ringwatch/sources/tty/tty_calls.h"
#include "settings/settings_file.h"

namespace hushcall::daemon {

class Service {
 public:
  // `remoteSilenceMs`: how long a call heard through the broker may go
  // without news; shorter only in tests. `sipNameServer`: the name server
  // that finds the SIP registrar instead of the system's; `sipCaFile`: a CA
  // that the registrar's certificate may come from beside the system's;
  // both tests only.
  Service(ringwatch::EventLoop& loop, ringwatch::Log& log, std::string configPath,
          std::int64_t remoteSilenceMs = ringwatch::kRemoteSilenceMs,
          std::string sipNameServer = {}, std::string sipCaFile = {});
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // Reads the settings file, logs its messages and what will be watched,
  // and starts the call sources. Throws Failure when they cannot start.
  void Start();

  // Reads the file again (SIGHUP). Logs its messages and each changed key;
  // restarts the tty and ModemManager when the port or their Sources
  // changed, reconnects the call monitor when its address or Sources entry
  // changed, the broker when an Mqtt key or its Sources entry changed, and
  // registers the SIP account anew when a Sip key or its entry changed;
  // the running sources read the other settings anew. A file that cannot be read keeps
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
  void StartRingSources();
  void StopRingSources();
  void StartCallMonitor();
  void StopCallMonitor();
  // The password in `path` (none when it is empty), or false once the log
  // says why `source` is not used.
  bool ReadPassword(const std::string& source, const std::string& key, const std::string& path,
                    std::string& password);
  void StartMqtt();
  void StopMqtt();
  void StartSip();
  void StopSip();
  // Every source's report goes through here to the call model.
  void Heard(const ringwatch::CallReport& report);
  void Lost(std::string_view why);

  ringwatch::EventLoop& loop_;
  ringwatch::Log& log_;
  const std::string configPath_;
  const std::int64_t remoteSilenceMs_;
  const std::string sipNameServer_;
  const std::string sipCaFile_;
  ServiceSettings settings_ = DefaultServiceSettings();
  bool lost_ = false;
  // For the service's whole run: the session bus, what quiets players and
  // tells the user, and the call model that decides when, whichever source
  // hears the call.
  std::unique_ptr<ringwatch::Bus> session_;
  std::unique_ptr<ringwatch::NotificationBoxes> boxes_;
  std::unique_ptr<ringwatch::MprisReaction> players_;
  std::unique_ptr<ringwatch::DesktopReactions> reactions_;
  std::unique_ptr<ringwatch::LoopCallClock> clock_;
  std::unique_ptr<ringwatch::CallModel> model_;
  // The call sources, made again when the port, CallMonitor, Sources or
  // Enabled change.
  bool sourcesOn_ = false;
  std::unique_ptr<ringwatch::TtyCalls> tty_;
  std::unique_ptr<ringwatch::Bus> system_;
  std::unique_ptr<ringwatch::ModemManagerCalls> modemManager_;
  std::unique_ptr<ringwatch::CallMonitorCalls> callMonitor_;
  // With Mqtt set: this machine's calls published and, with mqtt in
  // Sources, other machines' calls heard, over one connection, which goes
  // first.
  std::unique_ptr<ringwatch::CallPublisher> publisher_;
  std::unique_ptr<ringwatch::LoopCallClock> remoteClock_;
  std::unique_ptr<ringwatch::RemoteCalls> remote_;
  std::unique_ptr<ringwatch::MqttConnection> mqtt_;
  // With SipAccount set and sip in Sources: the account's calls, on a clock
  // of its own for its retries.
  std::unique_ptr<ringwatch::LoopCallClock> sipClock_;
  std::unique_ptr<ringwatch::SipCalls> sip_;
};

// One line: every key's value and the tty it names.
std::string DescribeSettings(const ServiceSettings& settings);

}  // namespace hushcall::daemon
