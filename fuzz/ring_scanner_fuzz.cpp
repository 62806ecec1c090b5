// The ring scanner over any byte stream cut into any reads: each report is
// found in exactly the read that completes it, so the reads that find one
// are the same whatever the cuts, and one-byte reads find every report of
// the whole stream once.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/core/ring_scanner.h"

namespace {

constexpr std::string_view kReport = "RING\r\n";

void Check(bool ok) {
  if (!ok) std::abort();
}

// Where each report of the whole stream ends (one past its last byte).
std::vector<std::size_t> ReportEnds(std::string_view stream) {
  std::vector<std::size_t> ends;
  for (std::size_t at = stream.find(kReport); at != std::string_view::npos;
       at = stream.find(kReport, at + 1)) {
    ends.push_back(at + kReport.size());
  }
  return ends;
}

bool EndsWithin(const std::vector<std::size_t>& ends, std::size_t begin, std::size_t end) {
  for (std::size_t e : ends) {
    if (e > begin && e <= end) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  // The read lengths come from the input's end, the stream from its front.
  std::vector<std::size_t> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 32));
  for (std::size_t& piece : pieces) piece = input.ConsumeIntegral<std::uint8_t>();
  const std::string stream = input.ConsumeRemainingBytesAsString();
  const std::vector<std::size_t> ends = ReportEnds(stream);

  hushcall::ringwatch::RingScanner whole;
  Check(whole.Scan(stream) == !ends.empty());

  hushcall::ringwatch::RingScanner bytes;
  std::size_t found = 0;
  for (char c : stream) found += bytes.Scan(std::string_view(&c, 1)) ? 1 : 0;
  Check(found == ends.size());

  // The given lengths, repeated until the stream is used up; a zero-length
  // read (an event with nothing waiting) is part of the test.
  hushcall::ringwatch::RingScanner cut;
  std::size_t at = 0;
  for (std::size_t i = 0; at < stream.size(); ++i) {
    const std::size_t length = pieces.empty() ? stream.size() : pieces[i % pieces.size()];
    const std::size_t end = std::min(stream.size(), at + length);
    if (i > 4 * stream.size() + 4) break;  // all lengths zero
    Check(cut.Scan(std::string_view(stream).substr(at, end - at)) == EndsWithin(ends, at, end));
    at = end;
  }
  return 0;
}
