#include "ringwatch/posix/loop_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

#include "common/status.h"
#include "ringwatch/posix/errno_status.h"

namespace hushcall::ringwatch {
namespace {

timespec FromMs(int ms) {
  timespec t{};
  t.tv_sec = ms / 1000;
  t.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  return t;
}

}  // namespace

LoopTimer::LoopTimer(EventLoop& loop, int intervalMs)
    : intervalMs_(intervalMs < 1 ? 1 : intervalMs),
      fd_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {
  if (!fd_) FailWithErrno();
  // Disarmed, the descriptor is never readable: the watch costs nothing
  // while the timer is stopped.
  watch_ = loop.Add(fd_.get(), EPOLLIN, [this](std::uint32_t) { OnReady(); });
}

LoopTimer::~LoopTimer() {
  handler_ = nullptr;
  watch_.Reset();
}

void LoopTimer::SetEnabled(bool enabled) {
  itimerspec setting{};  // zero: disarmed
  if (enabled) {
    setting.it_value = FromMs(intervalMs_);
    setting.it_interval = setting.it_value;
  }
  // Setting the timer, armed or not, also clears the count of expiries not
  // yet read: a restart counts the interval anew, a stop leaves nothing due.
  if (::timerfd_settime(fd_.get(), 0, &setting, nullptr) != 0) FailWithErrno();
  enabled_ = enabled;
}

void LoopTimer::OnReady() {
  std::uint64_t expiries = 0;
  ssize_t got;
  do {
    got = ::read(fd_.get(), &expiries, sizeof expiries);
  } while (got < 0 && errno == EINTR);
  // Nothing due (the timer was set again since the loop looked), or a
  // stopped timer: nothing to raise.
  if (got != static_cast<ssize_t>(sizeof expiries) || !enabled_) return;
  // A copy, because the handler may replace it or destroy this timer; after
  // the call nothing of this object is touched.
  std::function<void()> handler = handler_;
  if (handler) handler();
}

}  // namespace hushcall::ringwatch
