#include "ringwatch/posix/posix_components.h"

#include "ringwatch/posix/loop_timer.h"
#include "ringwatch/posix/tty_serial_port.h"

namespace hushcall::ringwatch {

std::unique_ptr<SerialPort> PosixComponents::CreateSerialPort() {
  return std::make_unique<TtySerialPort>(loop_, device_);
}

std::unique_ptr<Timer> PosixComponents::CreateTimer(int intervalMs) {
  return std::make_unique<LoopTimer>(loop_, intervalMs);
}

}  // namespace hushcall::ringwatch
