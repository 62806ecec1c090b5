// Signals as readable events: the signals are blocked for the process and
// read from a signalfd in the event loop, so that a handler never runs in
// the middle of other code.
#pragma once

#include <signal.h>

#include <initializer_list>

#include "common/posix/unique_fd.h"

namespace hushcall::daemon {

class SignalWatch {
 public:
  // Blocks `signals` (call it before any thread starts) and opens the
  // descriptor. Throws Failure.
  explicit SignalWatch(std::initializer_list<int> signals);
  // Unblocks what it blocked.
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  int fd() const { return fd_.get(); }
  // The next pending signal's number, or 0 when none is pending.
  int Next();

 private:
  sigset_t blocked_{};
  posix::UniqueFd fd_;
};

}  // namespace hushcall::daemon
