// The commands read from the control FIFO, one per line:
//   ring                one ring report now
//   ring N GAP_MS       N ring reports, GAP_MS apart, the first now
//   send TEXT           TEXT (with C escapes) written to the line as it is
//   pause MS            what is sent or rung next goes out MS later than the
//                       output before it (a report in timed pieces)
//   hangup              close the line
//   quit                remove the link and exit
#pragma once

#include <string>
#include <string_view>

#include "tools/modemsim/clock.h"

namespace hushcall::modemsim {

struct ControlCommand {
  enum class Kind { kRing, kSend, kPause, kHangup, kQuit, kInvalid };
  Kind kind = Kind::kInvalid;
  int rings = 1;
  Millis gap{0};  // kRing: between rings; kPause: the pause
  std::string bytes;  // kSend: unescaped; kInvalid: why
};

// A line without its line break; a trailing CR is ignored.
ControlCommand ParseControlLine(std::string_view line);

}  // namespace hushcall::modemsim
