// The call monitor's reading over any byte stream cut into any reads, as a
// router (or anything else on port 1012) may send it: the lines are the
// same whatever the cuts, none is longer than the limit, every line read as
// a call has a connection id of digits, and the reader reports an answer or
// end only of a call it reported ringing, with no more calls open at once
// than it allows.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/line_splitter.h"
#include "ringwatch/sources/callmonitor/call_monitor_line.h"
#include "ringwatch/sources/callmonitor/call_monitor_reader.h"

namespace {

using hushcall::ringwatch::CallMonitorLine;
using hushcall::ringwatch::CallMonitorReader;
using hushcall::ringwatch::CallPhase;
using hushcall::ringwatch::LineSplitter;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckLine(std::string_view text, std::size_t limit) {
  Check(text.size() <= limit);
  const CallMonitorLine line = hushcall::ringwatch::ParseCallMonitorLine(text);
  if (line.verdict != CallMonitorLine::Verdict::kCall) return;
  Check(line.report.source == hushcall::ringwatch::kCallMonitorSource);
  Check(!line.report.id.empty());
  for (char c : line.report.id) Check(c >= '0' && c <= '9');
  Check(line.report.number.known() == !line.report.number.text.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // A small limit too, so that short inputs reach the dropping of long lines.
  const std::size_t limit = input.ConsumeBool() ? hushcall::ringwatch::kCallMonitorMaxLine
                                                : input.ConsumeIntegralInRange<std::size_t>(1, 64);
  std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 16));
  for (std::size_t& piece : pieces) piece = input.ConsumeIntegral<std::uint8_t>();
  const std::string stream = input.ConsumeRemainingBytesAsString();

  LineSplitter whole(limit);
  const LineSplitter::Lines all = whole.Feed(stream);
  for (const std::string& line : all.complete) CheckLine(line, limit);

  // Every number counts: all the calls reach the checks.
  const std::vector<std::string> anyNumber;
  CallMonitorReader reader(anyNumber);
  std::set<std::string> open;
  LineSplitter cut(limit);
  std::vector<std::string> lines;
  std::size_t dropped = 0;
  std::size_t at = 0;
  for (std::size_t i = 0; at < stream.size(); ++i) {
    if (i > 4 * stream.size() + 4) break;  // all lengths zero
    const std::size_t length = pieces.empty() ? 1 : pieces[i % pieces.size()];
    const std::size_t end = std::min(stream.size(), at + length);
    LineSplitter::Lines some = cut.Feed(std::string_view(stream).substr(at, end - at));
    for (std::string& line : some.complete) lines.push_back(std::move(line));
    dropped += some.dropped;
    const CallMonitorReader::Read read = reader.Feed(std::string_view(stream).substr(at, end - at));
    for (const auto& report : read.reports) {
      if (report.phase == CallPhase::kRinging) {
        Check(open.insert(report.id).second);
      } else {
        Check(open.count(report.id) == 1);
        if (report.phase == CallPhase::kEnded) open.erase(report.id);
      }
    }
    Check(open.size() <= hushcall::ringwatch::kCallMonitorMaxCalls);
    at = end;
  }
  if (at == stream.size()) {
    Check(lines == all.complete);
    Check(dropped == all.dropped);
  }
  return 0;
}
