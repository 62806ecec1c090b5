// A TLS client's check of its server: OpenSSL refuses, in the handshake, a
// certificate that no trusted CA signed or that is not for the name the
// client asked for, and the reason of the first refusal is kept for the
// log. The MQTT broker's context is ours and the SIP registrar's is
// libre's; both are checked so.
#pragma once

#include <openssl/ssl.h>

#include <string>

namespace hushcall::ringwatch {

// Whether `host` is an IPv4 or IPv6 address rather than a name.
bool IsAddressText(const std::string& host);

// Sets `context` to verify its peer, and its certificate's name against
// `name` (a host name, or an address checked as one). The first refusal's
// reason goes to `*refusal`, which must outlive the context's handshakes;
// clear it before each. False when OpenSSL does not take the name.
bool CheckPeerCertificate(SSL_CTX* context, const std::string& name, std::string* refusal);

}  // namespace hushcall::ringwatch
