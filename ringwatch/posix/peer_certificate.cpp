#include "ringwatch/posix/peer_certificate.h"

#include <arpa/inet.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

namespace hushcall::ringwatch {
namespace {

// Where a context keeps its refusal, for Verify.
int RefusalIndex() {
  static const int index = ::SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

// OpenSSL's verdict on each certificate of the chain stands; the first
// refusal's reason is kept.
int Verify(int ok, X509_STORE_CTX* store) noexcept {
  if (ok != 0) return ok;
  auto* ssl = static_cast<SSL*>(
      ::X509_STORE_CTX_get_ex_data(store, ::SSL_get_ex_data_X509_STORE_CTX_idx()));
  auto* refusal = ssl == nullptr ? nullptr
                                 : static_cast<std::string*>(::SSL_CTX_get_ex_data(
                                       ::SSL_get_SSL_CTX(ssl), RefusalIndex()));
  if (refusal != nullptr && refusal->empty()) {
    *refusal = ::X509_verify_cert_error_string(::X509_STORE_CTX_get_error(store));
  }
  return ok;
}

}  // namespace

bool IsAddressText(const std::string& host) {
  unsigned char bytes[16];
  return ::inet_pton(AF_INET, host.c_str(), bytes) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), bytes) == 1;
}

bool CheckPeerCertificate(SSL_CTX* context, const std::string& name, std::string* refusal) {
  X509_VERIFY_PARAM* param = ::SSL_CTX_get0_param(context);
  const int named = IsAddressText(name) ? ::X509_VERIFY_PARAM_set1_ip_asc(param, name.c_str())
                                        : ::X509_VERIFY_PARAM_set1_host(param, name.c_str(), 0);
  if (named != 1 || RefusalIndex() < 0 ||
      ::SSL_CTX_set_ex_data(context, RefusalIndex(), refusal) != 1) {
    return false;
  }
  ::SSL_CTX_set_verify(context, SSL_VERIFY_PEER, Verify);
  return true;
}

}  // namespace hushcall::ringwatch
