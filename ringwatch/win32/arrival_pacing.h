// When the serial reader tells the user-interface thread about characters
// it received: at once when a line end came, after three character times of
// quiet line for text without one, and once more after 50 ms of quiet line
// so that characters below the receive threshold are not held back. Pure
// logic over a clock the caller reads, so that it can be tested on fake time.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ringwatch/win32/receive_notices.h"

namespace hushcall::ringwatch {

// Three character times at 9600 baud (one is 1.04 ms): a result line the
// modem sends in one burst is told in one piece.
inline constexpr std::int64_t kQuietLineMs = 3;
// How long characters below the threshold wait on a quiet line before they
// are raised anyway: longer than the gaps inside one report (a USB adapter's
// latency timer is often 16 ms), far shorter than the 6 s between rings.
inline constexpr std::int64_t kTailWaitMs = 50;

class ArrivalPacing {
 public:
  // Characters arrived at `nowMs`: the notices due at once.
  ReceiveNotices OnCharacters(std::string_view chunk, std::int64_t nowMs);
  // A wait for characters ended at `nowMs` without any: the notices due.
  ReceiveNotices OnQuiet(std::int64_t nowMs);
  // When OnQuiet has something to tell next; none when nothing is due, so
  // that a quiet line costs nothing.
  std::optional<std::int64_t> NextDueMs() const;

 private:
  std::int64_t lastArrivalMs_ = 0;
  bool arrivalDue_ = false;
  bool tailDue_ = false;
};

}  // namespace hushcall::ringwatch
