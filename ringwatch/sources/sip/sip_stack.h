// The seam between the SIP source and the stack that speaks SIP: the
// source asks for a registration and hears SipEvents on the service's loop;
// the stack's destruction unregisters and ends it. Tests put a fake here.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "ringwatch/sources/sip/sip_events.h"
#include "settings/settings_file.h"

namespace hushcall::ringwatch {

class SipStack {
 public:
  virtual ~SipStack() = default;
  // Registers from the start: finds the registrar, binds, signs in. What was
  // there before (a failed registration) is dropped first.
  virtual void Register() = 0;
};

// What the stack needs of the settings, the password read already.
struct SipStackConfig {
  SipAccount account;
  SipRegistrar registrar;  // effective: host, port and transport all set
  // No SipRegistrar: the registrar is found from the account's domain as
  // SIP finds it (NAPTR, SRV, then A/AAAA; RFC 3263).
  bool findRegistrar = false;
  std::string nameServer;  // address[:port] to ask instead of the system's; tests only
  std::string caFile;      // a CA trusted beside the system's; tests only
  std::string user;        // the sign-in name
  std::string password;    // empty: none
};

// Makes the stack; its events go to `events` on the service's loop.
using SipStackMaker =
    std::function<std::unique_ptr<SipStack>(std::function<void(const SipEvent&)> events)>;

}  // namespace hushcall::ringwatch
