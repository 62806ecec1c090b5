// The message loop and the clock, as a wait that keeps events running sees
// them.
#pragma once

#include <cstdint>

namespace hushcall::ringwatch {

class EventPump {
 public:
  virtual ~EventPump() = default;
  // Delivers every event already pending, then returns.
  virtual void DoEvents() = 0;
  // Milliseconds on a monotonic clock.
  virtual std::int64_t NowMs() = 0;
};

}  // namespace hushcall::ringwatch
