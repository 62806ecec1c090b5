// Time as the simulator sees it. Scheduling runs on the monotonic clock so
// that a wall-clock step can't bunch up or hold back rings; only transcript
// stamps use the real-time clock, so they line up with other programs' logs.
#pragma once

#include <chrono>
#include <cstdint>

namespace hushcall::modemsim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Millis = std::chrono::milliseconds;

// Microseconds since the Unix epoch on CLOCK_REALTIME.
std::int64_t RealtimeMicros();

}  // namespace hushcall::modemsim
