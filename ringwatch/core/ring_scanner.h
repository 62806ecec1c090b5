// Finds ring reports ("RING" CR LF) in received text.
#pragma once

#include <string>
#include <string_view>

namespace hushcall::ringwatch {

// Keeps the unmatched tail of each read that could begin a report (at most
// five characters) for the next read, so that a report split across two
// reads is found once.
class RingScanner {
 public:
  bool Scan(std::string_view text);
  void Reset() { tail_.clear(); }

 private:
  std::string tail_;
};

}  // namespace hushcall::ringwatch
