// One connection to the MQTT broker, driven by the service's event loop:
// libmosquitto's socket is watched for reading, and for writing while it
// has something to send; one LoopTimer bounds each state and runs
// libmosquitto's keepalive while connected.
//
// The connection goes resolving -> connecting -> connected, and from any of
// them to waiting, then resolving again; each address found is tried in
// turn before the wait. The name is looked up on
// HostLookup's thread and libmosquitto is given the address, so that its
// own lookup never blocks the loop (TLS still checks the name: BrokerTls).
// The lookup is bounded to 10 s, the connect up to the broker's answer to
// 10 s; the wait is 2 s, doubling to 60 s, and back to 2 s once connected.
// The first failure of an outage is told once; the return is logged.
//
// A broker that refuses our user or password, or whose certificate is
// refused, is tried again on that same backoff, told once and logged once:
// a wrong password costs a try a minute, never a loop of attempts.
//
// The will, <prefix>/<host>/availability = offline, retained, is left with
// the broker at each connect; once it answers, online is published, then
// `connected` runs for the owner to subscribe and publish anew.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/retry_backoff.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/host_lookup.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/posix/loop_timer.h"
#include "ringwatch/sources/mqtt/broker_tls.h"
#include "ringwatch/sources/mqtt/mosquitto_handles.h"
#include "ringwatch/sources/mqtt/mqtt_topics.h"
#include "settings/settings_file.h"

namespace hushcall::ringwatch {

inline constexpr int kMqttLookupMs = 10000;
inline constexpr int kMqttConnectMs = 10000;
inline constexpr int kMqttFirstRetryMs = 2000;
inline constexpr int kMqttLastRetryMs = 60000;
inline constexpr int kMqttKeepAliveS = 60;
// libmosquitto's keepalive is run this often while connected: a ping is
// sent at most this late, well within the broker's 1.5 keepalives.
inline constexpr int kMqttMiscMs = 15000;

// Told once when the broker goes away, or is not there at start; or when it
// refuses our user or password, or we refuse its certificate.
std::string MqttLostText(const std::string& where);
std::string MqttWrongPasswordText(const std::string& where);
std::string MqttUntrustedText(const std::string& where);

class MqttConnection {
 public:
  enum class State { kResolving, kConnecting, kConnected, kWaiting, kGivenUp };

  struct Handlers {
    // Connected (again): subscribe and publish what the broker must hold.
    std::function<void()> connected;
    // A message on a subscribed topic, after the connection's own work is
    // done: the handler may publish.
    std::function<void(std::string_view topic, std::string_view payload, bool retained)> message;
    // The connection is gone; `connected` runs again when it is back.
    std::function<void()> lost;
  };

  // Connects to `settings.broker` as it is now, as `topics.host`, with the
  // password read from `password` (empty: none). Everything given must
  // outlive this object. Throws Failure when libmosquitto or the timer
  // cannot be had.
  MqttConnection(EventLoop& loop, Log& log, MessageBoxes& boxes, const MqttSettings& settings,
                 MqttTopics topics, std::string password, Handlers handlers);
  // Closes without a goodbye: the broker publishes the will.
  ~MqttConnection();
  MqttConnection(const MqttConnection&) = delete;
  MqttConnection& operator=(const MqttConnection&) = delete;

  void Start();

  // False when not connected or libmosquitto refuses; nothing is queued
  // for a later connection.
  bool Publish(const std::string& topic, std::string_view payload, int qos, bool retain);
  bool Subscribe(const std::string& filter, int qos);

  State state() const { return state_; }
  const std::string& where() const { return where_; }

 private:
  // What libmosquitto's callbacks saw, handled once it has returned: the
  // client must never be destroyed from inside its own call.
  struct Heard {
    bool connackSeen = false;
    int connack = 0;
    bool disconnected = false;
    struct Message {
      std::string topic;
      std::string payload;
      bool retained = false;
    };
    std::vector<Message> messages;
  };

  void Resolve();
  void Resolved(int error, const std::vector<SocketAddress>& addresses);
  // Tries the addresses from next_ on; waits when none is left.
  void ConnectNext();
  // False, with lastFailure_ said, when the connect could not start.
  bool Connect(const SocketAddress& address);
  void Ready(std::uint32_t events);
  // Runs libmosquitto's step; false, with the connection waiting, when it
  // failed.
  bool Step(int rc, const char* what);
  void TakeHeard();
  // Runs an owner's handler; a failure is logged, never thrown.
  template <typename Work>
  void Guarded(const char* what, Work work);
  void Connected();
  // `told`: what the user is told of the outage; the loss of the broker
  // when empty.
  void Refused(const std::string& why, const std::string& told);
  void WaitAndRetry(const std::string& why, const std::string& told = {});
  void WatchForWrite();
  void OnTimer();
  void Arm(int ms);
  void Close();

  static void OnConnect(mosquitto*, void* self, int rc);
  static void OnDisconnect(mosquitto*, void* self, int rc);
  static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

  EventLoop& loop_;
  Log& log_;
  MessageBoxes& boxes_;
  const MqttSettings settings_;
  const MqttTopics topics_;
  const std::string where_;  // MqttText, for the messages
  const std::string password_;
  Handlers handlers_;

  State state_ = State::kWaiting;
  RetryBackoff retry_{kMqttFirstRetryMs, kMqttLastRetryMs};
  bool everConnected_ = false;
  Heard heard_;
  std::vector<SocketAddress> addresses_;
  std::size_t next_ = 0;
  std::string lastFailure_;  // the last address's

  MosquittoLibrary library_;
  std::unique_ptr<BrokerTls> tls_;
  std::unique_ptr<HostLookup> lookup_;
  // After the library and TLS context it uses; the watch after the client
  // whose socket it watches, so that it goes first.
  MosquittoPtr client_;
  EventLoop::Watch watch_;
  LoopTimer timer_;
};

}  // namespace hushcall::ringwatch
