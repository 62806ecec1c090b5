#include "ringwatch/sources/mqtt/broker_tls.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

namespace hushcall::ringwatch {
namespace {

bool IsAddress(const std::string& host) {
  unsigned char bytes[16];
  return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

}  // namespace

// Keeps OpenSSL's verdict, and keeps the reason of a refusal for the log.
int BrokerTls::Verify(int ok, X509_STORE_CTX* store) {
  if (ok != 0) return ok;
  auto* ssl = static_cast<SSL*>(
      ::X509_STORE_CTX_get_ex_data(store, ::SSL_get_ex_data_X509_STORE_CTX_idx()));
  if (ssl == nullptr) return ok;
  auto* shared = static_cast<Shared*>(SSL_CTX_get_app_data(::SSL_get_SSL_CTX(ssl)));
  if (shared != nullptr && shared->refusal.empty()) {
    shared->refusal = ::X509_verify_cert_error_string(::X509_STORE_CTX_get_error(store));
  }
  return ok;
}

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
  shared_->host = IsAddress(host) ? std::string() : host;
  SSL_CTX_set_app_data(context, shared_.get());
  ::SSL_CTX_set_verify(context, SSL_VERIFY_PEER, Verify);
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
  X509_VERIFY_PARAM* param = ::SSL_CTX_get0_param(context);
  const int named = IsAddress(host) ? ::X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str())
                                    : ::X509_VERIFY_PARAM_set1_host(param, host.c_str(), 0);
  if (named != 1) problem_ = "the broker's name " + host + " cannot be checked";
}

}  // namespace hushcall::ringwatch
