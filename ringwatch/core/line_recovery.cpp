// A watched line that goes away (a USB adapter pulled out, the modem hung
// up): the port is closed, the user told once, and the same port tried again
// every 2 s until the modem answers.
#include <string>

#include "common/status.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/options_dialog.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"

namespace hushcall::ringwatch {

void ModRing::LineLost() {
  SerialPort* port = frmOptions_.Port();
  if (port == nullptr) return;
  if (port->PortOpen()) port->SetPortOpen(false);
  Timer* retry = frmOptions_.RetryTimer();
  // Disabled, nothing is watched and nothing is promised.
  if (!settings_.Enabled || retry == nullptr) return;
  // Before the notice, so that an unanswered box does not hold the watch
  // back: the ticks run beneath it.
  retry->SetEnabled(true);
  // Once: a line lost again while the notice is still up is the same news.
  ShowUnlessUp(lostNoticeShown_, LineLostText(port->Name()));
}

void ModRing::InitModemQuietly() {
  if (!settings_.Enabled || frmOptions_.Port() == nullptr) return;
  StopRetrying();
  const Activation activation = BeginActivation(/*quiet=*/true);
  std::string reply;
  if (ResetModem(activation, reply, /*eventsOffFirst=*/true) != Attempt::kFailed) return;
  SerialPort* port = frmOptions_.Port();
  Timer* retry = frmOptions_.RetryTimer();
  if (port == nullptr || retry == nullptr) return;
  try {
    if (port->PortOpen()) port->SetPortOpen(false);
  } catch (const Failure&) {
    // The retry opens it afresh.
  }
  retry->SetEnabled(true);
  // Told once: the retries that follow are quiet.
  ShowUnlessUp(noModemShown_, NoModemText(port->Name()));
}

void ModRing::tmrRetry_Timer() {
  Timer* retry = frmOptions_.RetryTimer();
  if (retry == nullptr || !retry->Enabled()) return;
  // Stopped while this try waits for the modem, so that no tick starts
  // another one inside it; a failed try starts it again.
  retry->SetEnabled(false);
  if (!settings_.Enabled || frmOptions_.Port() == nullptr) return;

  const Activation activation = BeginActivation(/*quiet=*/true);
  std::string reply;
  switch (ResetModem(activation, reply, /*eventsOffFirst=*/true)) {
    case Attempt::kAnswered:  // watching again
    case Attempt::kSuperseded:  // Apply, disabling or the unload took over
      return;
    case Attempt::kFailed:
      break;
  }
  // Quietly: no box, the port goes back closed and the next tick tries again.
  try {
    SerialPort& port = Port();
    if (port.PortOpen()) port.SetPortOpen(false);
  } catch (const Failure&) {
    // Still worth another try: the next opening starts from scratch.
  }
  if (Timer* again = frmOptions_.RetryTimer()) again->SetEnabled(true);
}

}  // namespace hushcall::ringwatch
