// A call's change as one MQTT message, JSON such as
//   {"origin":"desk","source":"callmonitor","id":"3","direction":"incoming",
//    "phase":"ringing","number":"+491701234567","name":"Alice","line":"SIP0",
//    "time":"2026-12-10T14:05:00Z"}
//
// The caller's number and name go out only when asked; one that is known
// as withheld or unavailable is "number_status" (or "name_status") in place
// of the text. "end_known": false marks a call whose end its source never
// reports (a modem on a tty), for the model to time it out as it does
// locally. Keys not named here are ignored, so that a later machine may
// add some. Both directions are pure functions: the broker's messages come
// from any machine, and are fuzzed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ringwatch/calls/call_report.h"

namespace hushcall::ringwatch {

// Larger payloads are dropped unread; ours are a few hundred bytes.
inline constexpr std::size_t kMaxCallMessageBytes = 4096;

struct CallMessage {
  std::string origin;  // the machine that heard the call: its topic level
  CallReport report;   // as its source reported it there
  std::string time;    // UTC, "2026-12-10T14:05:00Z"; empty: not said
  bool operator==(const CallMessage&) const = default;
};

// The JSON text; the number and name only with `callerId`.
std::string EncodeCallMessage(const CallMessage& message, bool callerId);

struct ParsedCallMessage {
  std::optional<CallMessage> message;
  std::string error;  // why not, for the log: "not JSON", "'phase' is not ..."
};

// Never throws but std::bad_alloc.
ParsedCallMessage ParseCallMessage(std::string_view payload);

// "2026-12-10T14:05:00Z" for seconds since the epoch.
std::string UtcTimeText(std::int64_t secondsSinceEpoch);

}  // namespace hushcall::ringwatch
