// Caller ID on the modem's session: AT+VCID=1 once the modem has answered
// its reset, and the caller ID lines read from then on. A modem without
// caller ID answers ERROR: it is said once, and the rings are watched as
// before.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "ringwatch/core/modem_session.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/sources/tty/caller_id_lines.h"

namespace hushcall::ringwatch {

class CallerIdSession final : public ModemSession {
 public:
  // The log must outlive this object. `heard` gets each caller read.
  CallerIdSession(Log& log, std::function<void(const ModemCallerId&)> heard)
      : log_(log), heard_(std::move(heard)) {}

  void Answered(SerialPort& port) override;
  void Received(std::string_view text) override;

 private:
  Log& log_;
  std::function<void(const ModemCallerId&)> heard_;
  CallerIdLines lines_;
  std::string port_;
  bool awaitingReply_ = false;
  // Each answer is said once: a lost line's every reset asks again.
  bool okLogged_ = false;
  bool errorLogged_ = false;
};

}  // namespace hushcall::ringwatch
