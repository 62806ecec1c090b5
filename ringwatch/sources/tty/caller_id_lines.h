// The caller ID a modem sends after a call's first ring, once AT+VCID=1 has
// asked for it, in lines such as
//   DATE = 0321
//   TIME = 1405
//   NMBR = 5551234
//   NAME = JOHN DOE
// in the modem's own order; "O" stands for unavailable, "P" for withheld.
// The lines of one call make a block, which is over once it holds both the
// number and the name, or at the first line that is none of the four (a
// blank line, the next RING), or when a field comes again. Every line is
// bounded, and anything but printable ASCII in a value becomes '?', so what
// the line sends can neither grow a buffer nor break the texts it ends in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_report.h"
#include "ringwatch/calls/line_splitter.h"

namespace hushcall::ringwatch {

// Longer lines are no modem's caller ID and are dropped whole.
inline constexpr std::size_t kModemMaxLine = 96;

struct ModemCallerId {
  CallerDetail number;
  CallerDetail name;
  std::string date;  // MMDD as sent; empty when not sent
  std::string time;  // HHMM
  bool operator==(const ModemCallerId&) const = default;
};

class CallerIdLines {
 public:
  struct Read {
    std::vector<ModemCallerId> callers;  // the blocks over in this text
    bool ok = false;                     // an "OK" line came
    bool error = false;                  // an "ERROR" line came
    std::size_t dropped = 0;             // over-long lines
  };

  CallerIdLines() : splitter_(kModemMaxLine) {}

  Read Feed(std::string_view text);
  // A new session on the line: nothing read before belongs to it.
  void Reset();

 private:
  void Line(std::string_view line, Read& read);
  void Finish(Read& read);

  LineSplitter splitter_;
  std::optional<ModemCallerId> block_;
};

}  // namespace hushcall::ringwatch
