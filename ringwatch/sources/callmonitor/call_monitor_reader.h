// The call monitor's byte stream read into the reports of the calls that
// count: a call counts when Numbers is empty or names the own number it
// rang on (or, outgoing, was made from), and then its answer and end count
// too. The router reuses a connection id once its call has ended; a call
// whose id rings again unended has lost its DISCONNECT, and ends first.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_report.h"
#include "ringwatch/calls/line_splitter.h"

namespace hushcall::ringwatch {

// More calls than a router carries at once; the ones beyond are ignored, so
// that a peer cannot grow the service's memory.
inline constexpr std::size_t kCallMonitorMaxCalls = 16;

class CallMonitorReader {
 public:
  struct Read {
    std::vector<CallReport> reports;
    std::size_t badLines = 0;  // not call monitor lines, or over 1 KiB
    std::string firstBad;      // the first of them, cut short and printable
  };

  // `numbers` is read as each call begins, and must outlive the reader.
  explicit CallMonitorReader(const std::vector<std::string>& numbers);

  Read Feed(std::string_view bytes);
  // The connection has gone: a line begun and the calls in progress are
  // forgotten (the call model forgets them too).
  void Reset();

 private:
  struct Open {
    CallDirection direction;
    std::string line;
  };
  bool Counts(const CallReport& report) const;
  void Take(CallReport report, Read& read);

  const std::vector<std::string>& numbers_;
  LineSplitter splitter_;
  std::map<std::string, Open, std::less<>> open_;  // by connection id
};

}  // namespace hushcall::ringwatch
