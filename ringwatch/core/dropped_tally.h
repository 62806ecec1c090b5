// Input dropped as unreadable, said at most once a period: the first at
// once, the rest counted and said with the first one after the period, so
// that a peer sending rubbish costs a log line a minute, not a flood.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hushcall::ringwatch {

class DroppedTally {
 public:
  explicit DroppedTally(std::int64_t periodMs) : periodMs_(periodMs) {}

  // Counts `count` more dropped at `nowMs`; how many to say now, those
  // counted before included (0: not yet).
  std::size_t Drop(std::int64_t nowMs, std::size_t count = 1);

 private:
  std::int64_t periodMs_;
  bool said_ = false;
  std::int64_t saidAtMs_ = 0;
  std::size_t unsaid_ = 0;
};

}  // namespace hushcall::ringwatch
