// The serial port control MSComm1, as the ring watch uses it.
//
// Every member that cannot do its work throws Failure at once, within the
// call, carrying the OS error as a status.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace hushcall::ringwatch {

class SerialPort {
 public:
  virtual ~SerialPort() = default;

  // Selects the port by number, 1 being the first. A number that names no
  // usable port fails here or at opening.
  virtual void SetCommPort(std::int16_t port) = 0;
  // The selected port as the user knows it ("COM3", "/dev/ttyUSB0").
  virtual std::string Name() const = 0;
  virtual bool PortOpen() const = 0;
  // true opens the selected port (9600 baud, 8 data bits, receive buffer
  // 1024, transmit buffer 512); false closes it.
  virtual void SetPortOpen(bool open) = 0;
  // 0: no receive events; n > 0: OnComm is raised, through the message loop,
  // once at least n received characters wait after characters arrived.
  virtual void SetRThreshold(std::int16_t threshold) = 0;
  // Sends the text's characters in order, one byte each.
  virtual void SetOutput(std::string_view text) = 0;
  // All received characters that wait, one per byte, removed from the port.
  virtual std::string Input() = 0;

  // The OnComm event. Raised on the user-interface thread only.
  virtual void SetOnComm(std::function<void()> handler) = 0;

  // Waits until received characters may be waiting or a window message
  // arrives, for at most `maxMs`. Lets a poll wait without spinning.
  virtual void WaitForInputOrMessage(int maxMs) = 0;
};

}  // namespace hushcall::ringwatch
