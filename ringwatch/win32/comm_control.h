// MSComm1: the serial port control over the Win32 communications API.
//
// A reader thread receives while the port is open; OnComm is raised by a
// hidden window on the thread that created the control, so everything the
// plug-in sees happens on its user-interface thread. The control may be
// destroyed at any time, also from inside its own OnComm.
//
// With a threshold n > 0, OnComm is raised when at least n characters wait
// and a line end has arrived or the line has been quiet three character
// times; when fewer than n wait on a line quiet for 50 ms (the last piece
// of a report split by the line's adapter); and once when the line is lost
// (a read failed: the modem side hung up or the device went away), after
// whatever was left has been raised. Input then fails with the line's error.
#pragma once

#include <memory>

#include "ringwatch/core/serial_port.h"

namespace hushcall::ringwatch {

class CommControl final : public SerialPort {
 public:
  // Closed, on port 1, with no receive events. Throws Failure if the hidden
  // window can't be created.
  CommControl();
  ~CommControl() override;
  CommControl(const CommControl&) = delete;
  CommControl& operator=(const CommControl&) = delete;

  // 1..255; anything else fails with kInvalidArg. Fails while the port is
  // open, as the port in use can't be changed.
  void SetCommPort(std::int16_t port) override;
  std::string Name() const override;
  bool PortOpen() const override;
  // Opening an open port fails; closing a closed one does nothing.
  void SetPortOpen(bool open) override;
  // Negative values fail with kInvalidArg.
  void SetRThreshold(std::int16_t threshold) override;
  // Fails while closed, and when the line refuses the bytes.
  void SetOutput(std::string_view text) override;
  // Fails while closed, and once the line has failed (the modem side hung
  // up) with nothing left to take.
  std::string Input() override;
  void SetOnComm(std::function<void()> handler) override;
  void WaitForInputOrMessage(int maxMs) override;

 private:
  class State;
  std::shared_ptr<State> state_;
};

}  // namespace hushcall::ringwatch
