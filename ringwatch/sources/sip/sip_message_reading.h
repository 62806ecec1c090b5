// What Hushcall reads from a SIP request, through libre's header accessors:
// who calls, which of the account's numbers is called, and whether a
// CANCEL means that another phone took the call.
#pragma once

#include <re.h>

#include <string>

#include "ringwatch/calls/call_report.h"

namespace hushcall::ringwatch {

struct SipCaller {
  CallerDetail number;  // the user part: a number, or a name on a SIP-only system
  CallerDetail name;    // the display name
};

// From P-Asserted-Identity where the system put one, else From. `anonymous`
// (RFC 3323's anonymous@anonymous.invalid, or as display name) is withheld.
SipCaller CallerOf(const sip_msg& message);

// The To header's user part: which of the account's numbers rings.
std::string CalledLineOf(const sip_msg& message);

// Whether a CANCEL carries `Reason: SIP;cause=200`: the call was answered
// on another phone (RFC 3326).
bool AnsweredElsewhere(const sip_msg& cancel);

}  // namespace hushcall::ringwatch
