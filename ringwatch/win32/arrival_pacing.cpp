#include "ringwatch/win32/arrival_pacing.h"

namespace hushcall::ringwatch {

ReceiveNotices ArrivalPacing::OnCharacters(std::string_view chunk, std::int64_t nowMs) {
  if (chunk.empty()) return 0;
  lastArrivalMs_ = nowMs;
  tailDue_ = true;
  arrivalDue_ = chunk.find('\n') == std::string_view::npos;
  return arrivalDue_ ? 0 : kArrivalNotice;
}

ReceiveNotices ArrivalPacing::OnQuiet(std::int64_t nowMs) {
  ReceiveNotices due = 0;
  if (arrivalDue_ && nowMs - lastArrivalMs_ >= kQuietLineMs) {
    arrivalDue_ = false;
    due |= kArrivalNotice;
  }
  if (tailDue_ && nowMs - lastArrivalMs_ >= kTailWaitMs) {
    tailDue_ = false;
    due |= kTailNotice;
  }
  return due;
}

std::optional<std::int64_t> ArrivalPacing::NextDueMs() const {
  if (arrivalDue_) return lastArrivalMs_ + kQuietLineMs;
  if (tailDue_) return lastArrivalMs_ + kTailWaitMs;
  return std::nullopt;
}

}  // namespace hushcall::ringwatch
