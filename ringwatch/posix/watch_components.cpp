#include "ringwatch/posix/watch_components.h"

#include <cstdio>
#include <exception>
#include <string>

#include "common/status.h"

namespace hushcall::ringwatch {

WatchComponents::~WatchComponents() { Unload(); }

template <class Handler>
void WatchComponents::Deliver(std::string_view event, Handler&& handler) noexcept {
  // The handler may unload this holder's components, the one raising this
  // event included; nothing of theirs is touched afterwards.
  try {
    if (watch_ != nullptr) handler(*watch_);
  } catch (const Failure& failure) {
    char status[24];
    std::snprintf(status, sizeof status, "status 0x%08X", static_cast<unsigned>(failure.status()));
    LogFailure(event, status);
  } catch (const std::exception& error) {
    LogFailure(event, error.what());
  } catch (...) {
    LogFailure(event, "an unknown exception");
  }
}

void WatchComponents::LogFailure(std::string_view event, std::string_view why) noexcept {
  if (log_ == nullptr) return;
  try {
    std::string line(event);
    line += " failed: ";
    line += why;
    log_->Line(line);
  } catch (...) {
    // Not even the log: the event ends here all the same.
  }
}

void WatchComponents::Load() {
  if (loaded_) return;
  try {
    port_ = factory_.CreateSerialPort();
    port_->SetOnComm([this] {
      Deliver("MSComm1_OnComm", [](RingWatch& watch) { watch.MSComm1_OnComm(); });
    });
    ringTimer_ = factory_.CreateTimer(kRingTimerIntervalMs);
    ringTimer_->SetOnTimer([this] {
      Deliver("tmrRING_Timer", [](RingWatch& watch) { watch.tmrRING_Timer(); });
    });
    retryTimer_ = factory_.CreateTimer(kLineRetryIntervalMs);
    retryTimer_->SetOnTimer([this] {
      Deliver("tmrRetry_Timer", [](RingWatch& watch) { watch.tmrRetry_Timer(); });
    });
  } catch (...) {
    DestroyComponents();
    throw;
  }
  loaded_ = true;
  ++generation_;
}

void WatchComponents::Unload() {
  if (!loaded_) return;
  loaded_ = false;
  // First, so that a wait that yielded sees the components gone.
  ++generation_;
  DestroyComponents();
}

void WatchComponents::DestroyComponents() noexcept {
  // The timers first, so that no expiry runs against a port being closed.
  retryTimer_.reset();
  ringTimer_.reset();
  port_.reset();
}

}  // namespace hushcall::ringwatch
