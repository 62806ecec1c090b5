// Makes the components that sit on the options dialog. Destroying a
// component must be safe at any time, also from inside its own event.
#pragma once

#include <memory>

#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"

namespace hushcall::ringwatch {

class ComponentFactory {
 public:
  virtual ~ComponentFactory() = default;
  // 9600 baud, 8 data bits, receive buffer 1024, transmit buffer 512; closed.
  virtual std::unique_ptr<SerialPort> CreateSerialPort() = 0;
  // A timer (tmrRING, tmrRetry), stopped, with the given interval.
  virtual std::unique_ptr<Timer> CreateTimer(int intervalMs) = 0;
};

}  // namespace hushcall::ringwatch
