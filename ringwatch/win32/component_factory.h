// Makes the serial control and the ring timer on the calling thread, which
// becomes the thread their events are raised on.
#pragma once

#include "ringwatch/core/components.h"

namespace hushcall::ringwatch {

class Win32ComponentFactory final : public ComponentFactory {
 public:
  std::unique_ptr<SerialPort> CreateSerialPort() override;
  std::unique_ptr<Timer> CreateTimer(int intervalMs) override;
};

}  // namespace hushcall::ringwatch
