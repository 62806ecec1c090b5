// The TLS of an mqtts:// broker. OpenSSL checks the broker's certificate
// against the system's CAs or MqttCaFile, and its name against the host
// written in Mqtt, in the handshake, before the password is sent.
//
// The context is ours, not libmosquitto's own: libmosquitto checks the name
// it was given to connect to, and it is given the address that our lookup
// found, so that its own blocking lookup never runs on the loop. For the
// same reason the name the broker is told (SNI) is set here again, as each
// handshake starts.
#pragma once

#include <memory>
#include <string>

#include "ringwatch/sources/mqtt/mosquitto_handles.h"

namespace hushcall::ringwatch {

class BrokerTls {
 public:
  // `host` as written in Mqtt (a name, or an address checked as one);
  // `caFile` empty for the system's CAs. Check problem() after.
  BrokerTls(const std::string& host, const std::string& caFile);
  BrokerTls(const BrokerTls&) = delete;
  BrokerTls& operator=(const BrokerTls&) = delete;

  SSL_CTX* context() const { return context_.get(); }
  // Why the context could not be made ("the CA file ... cannot be read");
  // empty when it is ready.
  const std::string& problem() const { return problem_; }
  // Why the last handshake refused the broker's certificate; empty when
  // none did. Cleared by ForgetRefusal().
  const std::string& refusal() const { return shared_->refusal; }
  void ForgetRefusal() { shared_->refusal.clear(); }

 private:
  static void Starting(const SSL* ssl, int where, int value);

  // What OpenSSL's callbacks reach through the context.
  struct Shared {
    std::string host;  // for SNI; empty for an address, which SNI never names
    std::string refusal;
  };
  // Before the context, which points to it.
  std::unique_ptr<Shared> shared_;
  SslContextPtr context_;
  std::string problem_;
};

}  // namespace hushcall::ringwatch
