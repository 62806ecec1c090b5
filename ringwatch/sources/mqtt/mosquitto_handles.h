// Owners of libmosquitto's and OpenSSL's state: the library's setup (taken
// and released in pairs: libmosquitto counts them), one client, and a TLS
// context.
#pragma once

#include <mosquitto.h>
#include <openssl/ssl.h>

#include <memory>

namespace hushcall::ringwatch {

class MosquittoLibrary {
 public:
  // Throws Failure when libmosquitto cannot set itself up.
  MosquittoLibrary();
  ~MosquittoLibrary();
  MosquittoLibrary(const MosquittoLibrary&) = delete;
  MosquittoLibrary& operator=(const MosquittoLibrary&) = delete;
};

struct MosquittoFree {
  void operator()(mosquitto* client) const { ::mosquitto_destroy(client); }
};
// Destroying it closes the socket without a DISCONNECT: the broker then
// sends the will, as it should for a machine that is gone.
using MosquittoPtr = std::unique_ptr<mosquitto, MosquittoFree>;

struct SslContextFree {
  void operator()(SSL_CTX* context) const { ::SSL_CTX_free(context); }
};
using SslContextPtr = std::unique_ptr<SSL_CTX, SslContextFree>;

}  // namespace hushcall::ringwatch
