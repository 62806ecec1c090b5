// The modem's caller ID lines over any byte stream cut into any reads, as a
// modem (or whatever answers on the tty) may send them: the callers read
// are the same whatever the cuts, and every text in them is printable ASCII
// within the line's bound, so that none can grow a buffer or reach a
// notification or the log unchecked.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/sources/tty/caller_id_lines.h"

namespace {

using hushcall::ringwatch::CallerDetail;
using hushcall::ringwatch::CallerIdLines;
using hushcall::ringwatch::ModemCallerId;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckText(const std::string& text) {
  Check(text.size() <= hushcall::ringwatch::kModemMaxLine);
  for (char c : text) Check(c >= 0x20 && c <= 0x7E);
}

void CheckDetail(const CallerDetail& detail) {
  Check(detail.known() == !detail.text.empty());
  CheckText(detail.text);
}

struct Seen {
  std::vector<ModemCallerId> callers;
  bool ok = false;
  bool error = false;
  std::size_t dropped = 0;

  void Add(const CallerIdLines::Read& read) {
    callers.insert(callers.end(), read.callers.begin(), read.callers.end());
    ok = ok || read.ok;
    error = error || read.error;
    dropped += read.dropped;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 16));
  for (std::size_t& piece : pieces) piece = input.ConsumeIntegralInRange<std::size_t>(1, 255);
  const std::string stream = input.ConsumeRemainingBytesAsString();

  CallerIdLines whole;
  Seen all;
  all.Add(whole.Feed(stream));
  for (const ModemCallerId& caller : all.callers) {
    CheckDetail(caller.number);
    CheckDetail(caller.name);
    CheckText(caller.date);
    CheckText(caller.time);
  }

  CallerIdLines cut;
  Seen some;
  for (std::size_t i = 0, at = 0; at < stream.size(); ++i) {
    const std::size_t length = pieces.empty() ? 1 : pieces[i % pieces.size()];
    const std::size_t end = std::min(stream.size(), at + length);
    some.Add(cut.Feed(std::string_view(stream).substr(at, end - at)));
    at = end;
  }
  Check(some.callers == all.callers);
  Check(some.ok == all.ok && some.error == all.error && some.dropped == all.dropped);
  return 0;
}
