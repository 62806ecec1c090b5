#include "ringwatch/sources/callmonitor/call_monitor_reader.h"

#include <algorithm>
#include <utility>

#include "ringwatch/sources/callmonitor/call_monitor_line.h"

namespace hushcall::ringwatch {
namespace {

// Enough of a bad line to recognise it in the log.
constexpr std::size_t kSampleLength = 60;

std::string Printable(std::string_view text) {
  std::string sample;
  for (char c : text.substr(0, kSampleLength)) sample.push_back(c >= ' ' && c <= '~' ? c : '?');
  if (text.size() > kSampleLength) sample += "...";
  return sample;
}

}  // namespace

CallMonitorReader::CallMonitorReader(const std::vector<std::string>& numbers)
    : numbers_(numbers), splitter_(kCallMonitorMaxLine) {}

CallMonitorReader::Read CallMonitorReader::Feed(std::string_view bytes) {
  Read read;
  LineSplitter::Lines lines = splitter_.Feed(bytes);
  read.badLines = lines.dropped;
  if (lines.dropped != 0) read.firstBad = "(a line over 1 KiB)";
  for (const std::string& text : lines.complete) {
    CallMonitorLine line = ParseCallMonitorLine(text);
    if (line.verdict == CallMonitorLine::Verdict::kCall) {
      Take(std::move(line.report), read);
    } else if (line.verdict == CallMonitorLine::Verdict::kBad) {
      if (read.badLines++ == 0) read.firstBad = Printable(text);
    }
  }
  return read;
}

void CallMonitorReader::Reset() {
  splitter_.Clear();
  open_.clear();
}

bool CallMonitorReader::Counts(const CallReport& report) const {
  return numbers_.empty() ||
         std::find(numbers_.begin(), numbers_.end(), report.line) != numbers_.end();
}

void CallMonitorReader::Take(CallReport report, Read& read) {
  const auto open = open_.find(report.id);
  if (report.phase == CallPhase::kRinging) {
    if (open != open_.end()) {
      CallReport lost = report;
      lost.phase = CallPhase::kEnded;
      lost.direction = open->second.direction;
      lost.line = open->second.line;
      lost.number = {};
      read.reports.push_back(std::move(lost));
      open_.erase(open);
    }
    if (!Counts(report) || open_.size() >= kCallMonitorMaxCalls) return;
    open_.emplace(report.id, Open{report.direction, report.line});
    read.reports.push_back(std::move(report));
    return;
  }
  // An answer or end of a call that did not count, or began before the
  // connection did.
  if (open == open_.end()) return;
  report.direction = open->second.direction;
  report.line = open->second.line;
  if (report.phase == CallPhase::kEnded) open_.erase(open);
  read.reports.push_back(std::move(report));
}

}  // namespace hushcall::ringwatch
