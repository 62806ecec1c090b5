#include "tools/modemsim/clock.h"

#include <time.h>

namespace hushcall::modemsim {

std::int64_t RealtimeMicros() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

}  // namespace hushcall::modemsim
