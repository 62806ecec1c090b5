// What a front end may add to the modem's session beyond the rings: further
// commands once the modem has answered its reset, and a look at everything
// it says while watched. The Windows plug-in adds nothing; with no session
// set the ring watch sends and reads exactly what it always did.
#pragma once

#include <string_view>

namespace hushcall::ringwatch {

class SerialPort;

class ModemSession {
 public:
  virtual ~ModemSession() = default;
  // The modem answered its reset ("OK") and receive events are on. A
  // Failure thrown here fails that reset as a failing port does.
  virtual void Answered(SerialPort& port) = 0;
  // Each text read while watching, after its rings were counted.
  virtual void Received(std::string_view text) = 0;
};

}  // namespace hushcall::ringwatch
