// The broker's connection on the service's event loop: a lookup on its own
// thread, libmosquitto's non-blocking connect to the address found, its
// reads and writes as the socket is ready, and the retries in between.
#include "ringwatch/sources/mqtt/mqtt_connection.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/status.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {
namespace {

constexpr std::string_view kOnline = "online";
constexpr std::string_view kOffline = "offline";
// Packets handled per readiness: libmosquitto's own loop takes one too.
constexpr int kPacketsPerStep = 1;

std::string ErrorText(int rc) {
  if (rc == MOSQ_ERR_ERRNO) return std::strerror(errno);
  return ::mosquitto_strerror(rc);
}

}  // namespace

std::string MqttLostText(const std::string& where) {
  return "Hushcall lost the MQTT broker at " + where +
         ". Calls are shared with other machines again when it is back.";
}

std::string MqttWrongPasswordText(const std::string& where) {
  return "Hushcall could not sign in to the MQTT broker at " + where +
         ": wrong user or password. Check the user in Mqtt and the MqttPasswordFile.";
}

std::string MqttUntrustedText(const std::string& where) {
  return "Hushcall does not trust the MQTT broker at " + where +
         ": its certificate was refused. Check MqttCaFile and the name in Mqtt.";
}

MqttConnection::MqttConnection(EventLoop& loop, Log& log, MessageBoxes& boxes,
                               const MqttSettings& settings, MqttTopics topics,
                               std::string password, Handlers handlers)
    : loop_(loop),
      log_(log),
      boxes_(boxes),
      settings_(settings),
      topics_(std::move(topics)),
      where_(MqttText(settings.broker)),
      password_(std::move(password)),
      handlers_(std::move(handlers)),
      timer_(loop, kMqttFirstRetryMs) {
  timer_.SetOnTimer([this] { OnTimer(); });
  if (settings_.broker.tls) tls_ = std::make_unique<BrokerTls>(settings_.broker.host, settings_.caFile);
}

MqttConnection::~MqttConnection() {
  timer_.SetOnTimer(nullptr);
  lookup_.reset();
  Close();
}

void MqttConnection::Start() {
  if (tls_ != nullptr && !tls_->problem().empty()) {
    state_ = State::kGivenUp;
    log_.Line("MQTT: the broker at " + where_ + " is not used: " + tls_->problem());
    return;
  }
  Resolve();
}

void MqttConnection::Arm(int ms) {
  timer_.SetIntervalMs(ms);
  timer_.SetEnabled(true);
}

void MqttConnection::Close() {
  watch_.Reset();
  client_.reset();
  heard_ = {};
}

void MqttConnection::Resolve() {
  state_ = State::kResolving;
  lookup_ = HostLookup::Start(loop_, settings_.broker.host, settings_.broker.port,
                              [this](int error, const std::vector<SocketAddress>& addresses) {
                                Resolved(error, addresses);
                              });
  if (lookup_ == nullptr || Failed(StatusOf([&] { Arm(kMqttLookupMs); return kOk; })))
    WaitAndRetry("its name could not be looked up");
}

void MqttConnection::Resolved(int error, const std::vector<SocketAddress>& addresses) {
  std::vector<SocketAddress> found = addresses;
  const std::unique_ptr<HostLookup> done = std::move(lookup_);
  if (const std::string why = HostLookup::NotFound(error, found); !why.empty()) {
    WaitAndRetry(why);
    return;
  }
  addresses_ = std::move(found);
  next_ = 0;
  lastFailure_.clear();
  ConnectNext();
}

void MqttConnection::ConnectNext() {
  Close();
  while (next_ < addresses_.size()) {
    if (Connect(addresses_[next_++])) return;
    Close();
    // A broker that answers at once may finish the handshake inside the
    // connect: its certificate is refused for every address alike.
    if (tls_ != nullptr && !tls_->refusal().empty()) {
      Refused("its certificate was refused (" + tls_->refusal() + ")", MqttUntrustedText(where_));
      return;
    }
  }
  WaitAndRetry(lastFailure_.empty() ? std::string("it could not be reached") : lastFailure_);
}

bool MqttConnection::Connect(const SocketAddress& address) {
  char numeric[NI_MAXHOST] = "";
  if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address.storage), address.length, numeric,
                    sizeof numeric, nullptr, 0, NI_NUMERICHOST) != 0) {
    lastFailure_ = "its address could not be read";
    return false;
  }
  client_.reset(::mosquitto_new(nullptr, true, this));
  if (!client_) {
    lastFailure_ = "no MQTT client could be made";
    return false;
  }
  mosquitto* client = client_.get();
  ::mosquitto_int_option(client, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
  ::mosquitto_connect_callback_set(client, OnConnect);
  ::mosquitto_disconnect_callback_set(client, OnDisconnect);
  ::mosquitto_message_callback_set(client, OnMessage);
  const std::string availability = topics_.Availability();
  int rc = ::mosquitto_will_set(client, availability.c_str(), static_cast<int>(kOffline.size()),
                                kOffline.data(), 1, true);
  if (rc == MOSQ_ERR_SUCCESS && !settings_.broker.user.empty()) {
    rc = ::mosquitto_username_pw_set(client, settings_.broker.user.c_str(),
                                     password_.empty() ? nullptr : password_.c_str());
  }
  if (rc == MOSQ_ERR_SUCCESS && tls_ != nullptr) {
    tls_->ForgetRefusal();
    // Ours alone, without libmosquitto's defaults, whose name check would
    // be against the address.
    rc = ::mosquitto_void_option(client, MOSQ_OPT_SSL_CTX, tls_->context());
    if (rc == MOSQ_ERR_SUCCESS) rc = ::mosquitto_int_option(client, MOSQ_OPT_SSL_CTX_WITH_DEFAULTS, 0);
  }
  if (rc != MOSQ_ERR_SUCCESS) {
    lastFailure_ = "the MQTT client could not be set up (" + ErrorText(rc) + ")";
    return false;
  }
  // An address: libmosquitto's lookup of it returns at once.
  rc = ::mosquitto_connect_async(client, numeric, settings_.broker.port, kMqttKeepAliveS);
  const int fd = ::mosquitto_socket(client);
  if (rc != MOSQ_ERR_SUCCESS || fd < 0) {
    lastFailure_ = "it could not be reached (" + ErrorText(rc) + ")";
    return false;
  }
  const Status status = StatusOf([&] {
    // Writable once the connect is done; CONNECT is queued already.
    watch_ = loop_.Add(fd, EPOLLIN | EPOLLOUT, [this](std::uint32_t events) { Ready(events); });
    return kOk;
  });
  if (Failed(status)) {
    lastFailure_ = "its connection could not be watched";
    return false;
  }
  state_ = State::kConnecting;
  Arm(kMqttConnectMs);
  return true;
}

void MqttConnection::Ready(std::uint32_t events) {
  // Reading first: it also sees a connect that failed, which writing would
  // only report as a lost connection.
  if ((events & (EPOLLIN | EPOLLERR | EPOLLHUP)) != 0 &&
      !Step(::mosquitto_loop_read(client_.get(), kPacketsPerStep), "read")) {
    return;
  }
  if ((events & EPOLLOUT) != 0 && client_ != nullptr &&
      !Step(::mosquitto_loop_write(client_.get(), kPacketsPerStep), "write")) {
    return;
  }
  TakeHeard();
}

bool MqttConnection::Step(int rc, const char* what) {
  if (rc == MOSQ_ERR_SUCCESS && !heard_.disconnected) return true;
  const int error = errno;
  // A refusal that libmosquitto reads as an error is told as the refusal.
  if (heard_.connackSeen && heard_.connack != 0) {
    TakeHeard();
    return false;
  }
  if (tls_ != nullptr && !tls_->refusal().empty()) {
    Refused("its certificate was refused (" + tls_->refusal() + ")", MqttUntrustedText(where_));
    return false;
  }
  errno = error;
  const bool wasConnected = state_ == State::kConnected;
  const std::string why =
      rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_CONN_LOST
          ? std::string(wasConnected ? "its connection was lost" : "it closed the connection")
          : std::string("its connection failed on ") + what + " (" + ErrorText(rc) + ")";
  if (wasConnected) {
    Guarded("the lost connection", [&] {
      if (handlers_.lost) handlers_.lost();
    });
    WaitAndRetry(why);
  } else {
    // Not yet connected: the next address may answer.
    lastFailure_ = why;
    ConnectNext();
  }
  return false;
}

void MqttConnection::TakeHeard() {
  if (heard_.connackSeen) {
    heard_.connackSeen = false;
    if (heard_.connack != 0) {
      // 4 and 5: MQTT 3.1.1's bad user name or password, and not authorised.
      const bool credentials = heard_.connack == 4 || heard_.connack == 5;
      Refused(std::string("it refused Hushcall (") + ::mosquitto_connack_string(heard_.connack) +
                  ")",
              credentials ? MqttWrongPasswordText(where_) : MqttLostText(where_));
      return;
    }
    Connected();
    if (client_ == nullptr) return;
  }
  // Taken out first: a handler may publish, which may fail and close.
  std::vector<Heard::Message> messages = std::move(heard_.messages);
  heard_.messages.clear();
  for (const Heard::Message& message : messages) {
    Guarded("a message", [&] {
      if (handlers_.message) handlers_.message(message.topic, message.payload, message.retained);
    });
    if (client_ == nullptr) return;
  }
  WatchForWrite();
}

template <typename Work>
void MqttConnection::Guarded(const char* what, Work work) {
  // The owner's handlers run from the loop: nothing they throw may leave it.
  const Status status = StatusOf([&] {
    work();
    return kOk;
  });
  if (Failed(status)) log_.Line(std::string("MQTT: the handling of ") + what + " failed");
}

void MqttConnection::Connected() {
  state_ = State::kConnected;
  log_.Line(retry_.told() || everConnected_
                ? "MQTT: the broker at " + where_ + " is back"
                : "MQTT: connected to the broker at " + where_ + " as " + topics_.host);
  retry_.Succeeded();
  everConnected_ = true;
  Publish(topics_.Availability(), kOnline, 1, true);
  Guarded("the connect", [&] {
    if (handlers_.connected) handlers_.connected();
  });
  if (client_ != nullptr) Arm(kMqttMiscMs);
}

void MqttConnection::WatchForWrite() {
  if (!watch_ || client_ == nullptr) return;
  bool write = ::mosquitto_want_write(client_.get());
  // In the TLS handshake the CONNECT already queued waits: the socket is
  // watched for writing only when OpenSSL wants to write, or a writable
  // socket would wake the loop again and again until the broker answers.
  if (const auto* ssl = static_cast<const SSL*>(::mosquitto_ssl_get(client_.get()));
      ssl != nullptr && ::SSL_is_init_finished(ssl) == 0) {
    write = SSL_want_write(ssl) != 0 || state_ != State::kConnecting;
  }
  const Status status = StatusOf([&] {
    watch_.SetEvents(EPOLLIN | (write ? EPOLLOUT : 0u));
    return kOk;
  });
  if (Failed(status)) WaitAndRetry("its connection could not be watched");
}

bool MqttConnection::Publish(const std::string& topic, std::string_view payload, int qos,
                             bool retain) {
  if (state_ != State::kConnected || client_ == nullptr) return false;
  const int rc = ::mosquitto_publish(client_.get(), nullptr, topic.c_str(),
                                     static_cast<int>(payload.size()), payload.data(), qos, retain);
  if (rc != MOSQ_ERR_SUCCESS) return false;
  WatchForWrite();
  return true;
}

bool MqttConnection::Subscribe(const std::string& filter, int qos) {
  if (state_ != State::kConnected || client_ == nullptr) return false;
  if (::mosquitto_subscribe(client_.get(), nullptr, filter.c_str(), qos) != MOSQ_ERR_SUCCESS)
    return false;
  WatchForWrite();
  return true;
}

void MqttConnection::Refused(const std::string& why, const std::string& told) {
  // Tried again on the same backoff, never given up: a broker that checks
  // passwords elsewhere (Home Assistant's, say) refuses everyone while that
  // restarts, and a user fixed on the broker is let in at the next try.
  WaitAndRetry(why, told);
}

void MqttConnection::WaitAndRetry(const std::string& why, const std::string& told) {
  lookup_.reset();
  Close();
  state_ = State::kWaiting;
  if (retry_.NewReason(why)) {
    log_.Line("MQTT: the broker at " + where_ + ": " + why + "; trying again in " +
              std::to_string(retry_.waitMs() / 1000) + " s, then less often");
  }
  const int wait = retry_.NextWaitMs();
  const Status status = StatusOf([&] {
    Arm(wait);
    return kOk;
  });
  if (Failed(status)) log_.Line("MQTT: the broker at " + where_ + ": no timer to try again");
  if (retry_.TellOnce()) {
    boxes_.Show(told.empty() ? MqttLostText(where_) : told, kProductName, kMbExclamationOk);
  }
}

void MqttConnection::OnTimer() {
  switch (state_) {
    case State::kResolving:
      timer_.SetEnabled(false);
      WaitAndRetry("its name was not found within " + std::to_string(kMqttLookupMs / 1000) + " s");
      break;
    case State::kConnecting:
      timer_.SetEnabled(false);
      lastFailure_ = "it did not answer within " + std::to_string(kMqttConnectMs / 1000) + " s";
      ConnectNext();
      break;
    case State::kWaiting:
      timer_.SetEnabled(false);
      Resolve();
      break;
    case State::kConnected:
      // Keeps the timer running: the keepalive's next round.
      if (Step(::mosquitto_loop_misc(client_.get()), "keepalive")) TakeHeard();
      break;
    case State::kGivenUp:
      timer_.SetEnabled(false);
      break;
  }
}

void MqttConnection::OnConnect(mosquitto*, void* self, int rc) {
  auto& connection = *static_cast<MqttConnection*>(self);
  connection.heard_.connackSeen = true;
  connection.heard_.connack = rc;
}

void MqttConnection::OnDisconnect(mosquitto*, void* self, int) {
  static_cast<MqttConnection*>(self)->heard_.disconnected = true;
}

void MqttConnection::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto& heard = static_cast<MqttConnection*>(self)->heard_;
  // A copy: libmosquitto frees its message when the callback returns. An
  // allocation that fails here must not unwind through C.
  try {
    heard.messages.push_back(
        {message->topic,
         std::string(static_cast<const char*>(message->payload),
                     static_cast<std::size_t>(message->payloadlen)),
         message->retain});
  } catch (...) {
  }
}

}  // namespace hushcall::ringwatch
