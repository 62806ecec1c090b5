#include "ringwatch/sources/tty/caller_id_session.h"

#include "ringwatch/core/serial_port.h"

namespace hushcall::ringwatch {

namespace {
constexpr std::string_view kCallerIdCommand = "AT+VCID=1\r";
}  // namespace

void CallerIdSession::Answered(SerialPort& port) {
  lines_.Reset();
  port_ = port.Name();
  port.SetOutput(kCallerIdCommand);
  awaitingReply_ = true;
}

void CallerIdSession::Received(std::string_view text) {
  const CallerIdLines::Read read = lines_.Feed(text);
  if (awaitingReply_ && (read.ok || read.error)) {
    awaitingReply_ = false;
    if (read.error && !errorLogged_) {
      errorLogged_ = true;
      log_.Line("the modem on " + port_ +
                " answered ERROR to AT+VCID=1: it is watched without caller ID");
    } else if (read.ok && !okLogged_) {
      okLogged_ = true;
      log_.Line("the modem on " + port_ + " sends caller ID");
    }
  }
  for (const ModemCallerId& caller : read.callers) {
    if (heard_) heard_(caller);
  }
}

}  // namespace hushcall::ringwatch
