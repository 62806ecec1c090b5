// Recognises the modem's ring report in the text of successive reads.
#include <algorithm>
#include <string>
#include <string_view>

#include "ringwatch/core/ring_scanner.h"

namespace hushcall::ringwatch {

namespace {

// "RING" joined with the carriage return and line feed pair.
constexpr std::string_view kRingReport = "RING\r\n";

// The longest end of `text` that is a proper beginning of the report: the
// only part of a read that the next read can complete.
std::string_view PartialReportAtEnd(std::string_view text) {
  const std::size_t longest = std::min(text.size(), kRingReport.size() - 1);
  for (std::size_t n = longest; n > 0; --n) {
    if (text.substr(text.size() - n) == kRingReport.substr(0, n)) return text.substr(text.size() - n);
  }
  return {};
}

}  // namespace

bool RingScanner::Scan(std::string_view text) {
  std::string joined = tail_;
  joined.append(text);
  const bool found = joined.find(kRingReport) != std::string::npos;
  // A tail starts with "R" and is shorter than the report, so it can never
  // reach back into a report already counted above.
  tail_ = std::string(PartialReportAtEnd(joined));
  return found;
}

}  // namespace hushcall::ringwatch
