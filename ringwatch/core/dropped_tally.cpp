#include "ringwatch/core/dropped_tally.h"

namespace hushcall::ringwatch {

std::size_t DroppedTally::Drop(std::int64_t nowMs, std::size_t count) {
  unsaid_ += count;
  if (unsaid_ == 0 || (said_ && nowMs - saidAtMs_ < periodMs_)) return 0;
  said_ = true;
  saidAtMs_ = nowMs;
  const std::size_t say = unsaid_;
  unsaid_ = 0;
  return say;
}

}  // namespace hushcall::ringwatch
