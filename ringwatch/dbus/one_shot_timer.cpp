// The one-shot timer over a timerfd.
#include "ringwatch/dbus/one_shot_timer.h"

#include <sys/timerfd.h>
#include <time.h>

#include <utility>

#include "common/status.h"

namespace hushcall::ringwatch {

void OneShotTimer::Start(int ms, std::function<void()> onExpiry) {
  Stop();
  posix::UniqueFd fd(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!fd) Fail(kFail);
  itimerspec when{};
  when.it_value.tv_sec = ms / 1000;
  when.it_value.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
  if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) when.it_value.tv_nsec = 1;
  if (::timerfd_settime(fd.get(), 0, &when, nullptr) != 0) Fail(kFail);
  watch_ = loop_.Add(fd.get(), EPOLLIN, [this](std::uint32_t) {
    // Stopped first: the handler may start the timer again.
    std::function<void()> expired = std::move(onExpiry_);
    Stop();
    if (expired) expired();
  });
  fd_ = std::move(fd);
  onExpiry_ = std::move(onExpiry);
}

void OneShotTimer::Stop() {
  watch_.Reset();
  fd_.reset();
  onExpiry_ = nullptr;
}

}  // namespace hushcall::ringwatch
