// One line of the call monitor that AVM's routers serve on TCP port 1012,
// read into a call report. The lines are `;`-separated fields after a
// `DD.MM.YY HH:MM:SS` stamp:
//   RING;id;caller;called;line;               an incoming call rings
//   CALL;id;extension;own number;called;line; an outgoing call is dialled
//   CONNECT;id;extension;number;              it is answered
//   DISCONNECT;id;seconds;                    it has ended
// The id is the router's connection id, which a later call reuses.
#pragma once

#include <cstddef>
#include <string_view>

#include "ringwatch/calls/call_report.h"

namespace hushcall::ringwatch {

// The source's name in its reports.
inline constexpr const char* kCallMonitorSource = "callmonitor";

// Longer lines are dropped unread: the router's are well below 200 bytes.
inline constexpr std::size_t kCallMonitorMaxLine = 1024;

struct CallMonitorLine {
  enum class Verdict {
    kCall,     // `report` holds what the line says
    kUnknown,  // a well-stamped line of a kind not read here: ignored
    kBad,      // not a call monitor line at all
  };
  Verdict verdict = Verdict::kBad;
  // Source, id, phase, and for RING and CALL the direction, the other
  // party's number (withheld when a RING's caller is empty) and the user's
  // own number in `line`. CONNECT and DISCONNECT say neither direction nor
  // own number: the source knows them from the call's first line.
  CallReport report;
};

// Reads one line without its line end; a CR left at its end is ignored.
// Never throws but std::bad_alloc.
CallMonitorLine ParseCallMonitorLine(std::string_view text);

}  // namespace hushcall::ringwatch
