// The desktop service's component factory: the ring watch's serial port is
// a TtySerialPort on the configured device, its timers are LoopTimers, and
// all of them run their events from the one EventLoop.
#pragma once

#include <memory>
#include <string>

#include "ringwatch/core/components.h"
#include "ringwatch/posix/event_loop.h"

namespace hushcall::ringwatch {

class PosixComponents final : public ComponentFactory {
 public:
  // `device` is the modem's tty path; when empty, the port number selects
  // /dev/ttyS<n-1>. The loop must outlive every component made here.
  PosixComponents(EventLoop& loop, std::string device)
      : loop_(loop), device_(std::move(device)) {}

  std::unique_ptr<SerialPort> CreateSerialPort() override;
  std::unique_ptr<Timer> CreateTimer(int intervalMs) override;

 private:
  EventLoop& loop_;
  std::string device_;
};

}  // namespace hushcall::ringwatch
