#include "ringwatch/sources/mqtt/broker_tls.h"

#include <openssl/err.h>

#include "ringwatch/posix/peer_certificate.h"

namespace hushcall::ringwatch {

// libmosquitto has named the address it connects to; before the
// ClientHello is built the broker's name takes its place, or none.
void BrokerTls::Starting(const SSL* ssl, int where, int) {
  if ((where & SSL_CB_HANDSHAKE_START) == 0) return;
  const auto* shared = static_cast<const Shared*>(SSL_CTX_get_app_data(::SSL_get_SSL_CTX(ssl)));
  if (shared == nullptr) return;
  // The callback is handed the connection as const; the name is set on it
  // all the same, which is what the start of the handshake is for.
  SSL* connection = const_cast<SSL*>(ssl);
  // OpenSSL's macro takes the name as void*, and copies it.
  char* name = shared->host.empty() ? nullptr : const_cast<char*>(shared->host.c_str());
  SSL_set_tlsext_host_name(connection, name);
}

BrokerTls::BrokerTls(const std::string& host, const std::string& caFile)
    : shared_(std::make_unique<Shared>()), context_(::SSL_CTX_new(::TLS_client_method())) {
  if (!context_) {
    problem_ = "no TLS context could be made";
    return;
  }
  SSL_CTX* context = context_.get();
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  shared_->host = IsAddressText(host) ? std::string() : host;
  SSL_CTX_set_app_data(context, shared_.get());
  ::SSL_CTX_set_info_callback(context, Starting);
  const int loaded = caFile.empty()
                         ? ::SSL_CTX_set_default_verify_paths(context)
                         : ::SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
  if (loaded != 1) {
    ::ERR_clear_error();
    problem_ = caFile.empty() ? "the system's CAs cannot be loaded"
                              : "the CA file " + caFile + " cannot be read as PEM certificates";
    return;
  }
  if (!CheckPeerCertificate(context, host, &shared_->refusal)) {
    problem_ = "the broker's name " + host + " cannot be checked";
  }
}

}  // namespace hushcall::ringwatch
