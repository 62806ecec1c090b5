#include "ringwatch/win32/component_factory.h"

#include "ringwatch/win32/comm_control.h"
#include "ringwatch/win32/ring_timer.h"

namespace hushcall::ringwatch {

std::unique_ptr<SerialPort> Win32ComponentFactory::CreateSerialPort() { return std::make_unique<CommControl>(); }

std::unique_ptr<Timer> Win32ComponentFactory::CreateTimer(int intervalMs) {
  return std::make_unique<RingTimer>(intervalMs);
}

}  // namespace hushcall::ringwatch
