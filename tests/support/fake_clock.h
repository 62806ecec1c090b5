// Fake monotonic time, shared by the fakes that wait; only they move it.
#pragma once

#include <cstdint>

namespace hushcall::testing {

struct FakeClock {
  std::int64_t nowMs = 0;
};

}  // namespace hushcall::testing
