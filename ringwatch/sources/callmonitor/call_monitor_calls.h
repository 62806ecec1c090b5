// The call monitor of an AVM router (TCP port 1012, turned on by dialling
// #96*5*) as a call source: each call that counts reported to the call
// model as it rings or is dialled, is answered and ends.
//
// The connection goes resolving -> connecting -> connected, and from any of
// them to waiting, then resolving again. Each state has one bound at most,
// on one timer: the name's lookup 10 s, each address's connect 5 s, the
// wait 2 s, doubling to 60 s, and back to 2 s once connected. A connected
// router that vanishes without closing is noticed by TCP keepalive within
// about two minutes. The first failure of an outage is told once; the
// return is logged. A connection's calls in progress go with it, their end
// unknown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/posix/unique_fd.h"
#include "ringwatch/calls/call_report.h"
#include "ringwatch/core/dropped_tally.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/retry_backoff.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/host_lookup.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/posix/loop_timer.h"
#include "ringwatch/sources/callmonitor/call_monitor_reader.h"
#include "settings/settings_file.h"

namespace hushcall::ringwatch {

inline constexpr int kCallMonitorLookupMs = 10000;
inline constexpr int kCallMonitorConnectMs = 5000;
inline constexpr int kCallMonitorFirstRetryMs = 2000;
inline constexpr int kCallMonitorLastRetryMs = 60000;
// Bad lines are logged at most this often.
inline constexpr std::int64_t kCallMonitorBadLineLogMs = 60000;
// Keepalive: probes after 60 s of silence, 10 s apart, 5 unanswered: a dead
// peer is given up after 110 s.
inline constexpr int kKeepIdleS = 60;
inline constexpr int kKeepIntervalS = 10;
inline constexpr int kKeepCount = 5;

// Told once when the call monitor goes away, or is not there at start.
std::string CallMonitorLostText(const std::string& where);

class CallMonitorCalls {
 public:
  enum class State { kResolving, kConnecting, kConnected, kWaiting };

  // Connects to `settings.callMonitor` as it is now (a new address makes a
  // new source); Numbers is read as each call begins. `forget` runs when a
  // connection is lost with the calls it had. Everything given must outlive
  // this object. Throws Failure when the timer cannot be made.
  CallMonitorCalls(EventLoop& loop, const ServiceSettings& settings, MessageBoxes& boxes, Log& log,
                   std::function<void(const CallReport&)> report, std::function<void()> forget);
  ~CallMonitorCalls();
  CallMonitorCalls(const CallMonitorCalls&) = delete;
  CallMonitorCalls& operator=(const CallMonitorCalls&) = delete;

  void Start();

  State state() const { return state_; }

 private:
  void Resolve();
  void Resolved(int error, const std::vector<SocketAddress>& addresses);
  // Tries the addresses from next_ on; fails when none is left.
  void ConnectNext();
  void ConnectDone();
  void Connected();
  void Readable(std::uint32_t events);
  // Any state to waiting: told once per outage, logged when the reason is new.
  void WaitAndRetry(const std::string& why);
  void OnTimer();
  void Arm(int ms);
  void Close();
  void Take(const CallMonitorReader::Read& read);

  EventLoop& loop_;
  const CallMonitorAddress address_;
  const std::string where_;  // host:port, for the messages
  MessageBoxes& boxes_;
  Log& log_;
  std::function<void(const CallReport&)> report_;
  std::function<void()> forget_;
  CallMonitorReader reader_;

  State state_ = State::kWaiting;
  RetryBackoff retry_{kCallMonitorFirstRetryMs, kCallMonitorLastRetryMs};
  bool everConnected_ = false;
  int lastErrno_ = 0;         // the last address's failure
  std::vector<SocketAddress> addresses_;
  std::size_t next_ = 0;
  DroppedTally bad_{kCallMonitorBadLineLogMs};

  std::unique_ptr<HostLookup> lookup_;
  posix::UniqueFd socket_;
  EventLoop::Watch watch_;  // after the socket, so that it goes first
  LoopTimer timer_;
};

}  // namespace hushcall::ringwatch
