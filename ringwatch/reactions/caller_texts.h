// What the service says of a call's caller: the ringing notification's
// text, and the call as a log line names it.
#pragma once

#include <cstddef>
#include <string>

#include "ringwatch/calls/call_model.h"

namespace hushcall::ringwatch {

// A name or number longer than this is cut: it comes from the network.
inline constexpr std::size_t kMaxCallerText = 64;

// "Call from NAME (NUMBER)", "Call from NUMBER", "Call from NAME" or
// "Caller withheld"; empty when nothing is known of an incoming call's
// caller (or it was unavailable).
std::string CallFromText(const Call& call);

// The call's sources and their ids with what is known of the other end:
// "tty 1, callmonitor 0: from 5551234 (JOHN DOE)".
std::string CallLogText(const Call& call);

}  // namespace hushcall::ringwatch
