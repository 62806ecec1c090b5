#include "ringwatch/win32/receive_notices.h"

namespace hushcall::ringwatch {

bool RaisesForCharacters(ReceiveNotices notices, std::size_t waiting, int threshold) {
  if (threshold <= 0 || waiting == 0) return false;
  const auto needed = static_cast<std::size_t>(threshold);
  if ((notices & kArrivalNotice) && waiting >= needed) return true;
  if ((notices & kTailNotice) && waiting < needed) return true;
  return (notices & kLossNotice) != 0;
}

}  // namespace hushcall::ringwatch
