// The signalfd owner.
#include "daemon/signal_watch.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "common/status.h"

namespace hushcall::daemon {

SignalWatch::SignalWatch(std::initializer_list<int> signals) {
  sigemptyset(&blocked_);
  for (int signal : signals) sigaddset(&blocked_, signal);
  if (::sigprocmask(SIG_BLOCK, &blocked_, nullptr) != 0) Fail(kFail);
  fd_.reset(::signalfd(-1, &blocked_, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!fd_) {
    ::sigprocmask(SIG_UNBLOCK, &blocked_, nullptr);
    Fail(kFail);
  }
}

SignalWatch::~SignalWatch() {
  fd_.reset();
  ::sigprocmask(SIG_UNBLOCK, &blocked_, nullptr);
}

int SignalWatch::Next() {
  signalfd_siginfo info{};
  while (true) {
    const ssize_t n = ::read(fd_.get(), &info, sizeof info);
    if (n == static_cast<ssize_t>(sizeof info)) return static_cast<int>(info.ssi_signo);
    if (n < 0 && errno == EINTR) continue;
    return 0;  // EAGAIN: nothing pending
  }
}

}  // namespace hushcall::daemon
