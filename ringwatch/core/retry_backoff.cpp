#include "ringwatch/core/retry_backoff.h"

#include <algorithm>

namespace hushcall::ringwatch {

RetryBackoff::RetryBackoff(int firstMs, int lastMs)
    : firstMs_(firstMs), lastMs_(std::max(firstMs, lastMs)), waitMs_(firstMs) {}

int RetryBackoff::NextWaitMs() {
  const int wait = waitMs_;
  waitMs_ = std::min(waitMs_ * 2, lastMs_);
  return wait;
}

bool RetryBackoff::TellOnce() {
  if (told_) return false;
  told_ = true;
  return true;
}

bool RetryBackoff::NewReason(std::string_view why) {
  if (why == lastWhy_) return false;
  lastWhy_ = std::string(why);
  return true;
}

void RetryBackoff::Succeeded() {
  waitMs_ = firstMs_;
  told_ = false;
  lastWhy_.clear();
}

}  // namespace hushcall::ringwatch
