// What the SIP stack tells the source, on the service's loop: how the
// registration went, and the calls that ring this account.
#pragma once

#include <string>

#include "ringwatch/calls/call_report.h"

namespace hushcall::ringwatch {

struct SipEvent {
  enum class Kind {
    kRegistered,     // the registrar took (or refreshed) the registration
    kWrongPassword,  // the registrar refused the credentials
    kRegisterFailed, // anything else that left it unregistered; `why` says
    kRinging,        // an INVITE, answered 180
    kCancelled,      // the caller gave up, or another phone took it
    kRingingOver,    // rang too long without a CANCEL; answered 480
    kRefused,        // a request from elsewhere than the registrar, answered 403
    kDialogEvents,   // the account's dialog events are heard (true) or not (`why`)
    kDialogEnded,    // the dialog events say that call `callId` is over
    kStackWarning,   // libre's own warning, its text in `why`
  };
  Kind kind = Kind::kRegistered;
  std::string callId;            // the calls' kinds
  CallerDetail number;           // kRinging
  CallerDetail name;             // kRinging
  std::string line;              // kRinging: the user part called
  bool answeredElsewhere = false;  // kCancelled: Reason: SIP;cause=200
  std::string why;               // kRegisterFailed: why; kRefused: from where; kStackWarning
  int expiresS = 0;              // kRegistered: as the registrar granted
  bool heard = false;            // kDialogEvents
};

}  // namespace hushcall::ringwatch
