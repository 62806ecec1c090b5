// The ring watch as the options dialog drives it: the dialog forwards its
// load, its Apply and its components' events here.
#pragma once

namespace hushcall::ringwatch {

class RingWatch {
 public:
  virtual ~RingWatch() = default;
  virtual void InitModem() = 0;       // the dialog's load and Apply
  virtual void MSComm1_OnComm() = 0;  // the serial port's receive event
  virtual void tmrRING_Timer() = 0;   // the ring timer's expiry
  virtual void tmrRetry_Timer() = 0;  // the retry timer's expiry
};

}  // namespace hushcall::ringwatch
