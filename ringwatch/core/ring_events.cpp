// The receive event, the call timer and the start of a call.
#include <string>

#include "common/status.h"
#include "ringwatch/core/options_dialog.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"

namespace hushcall::ringwatch {

ModRing::ModRing(Settings& settings, OptionsDialog& frmOptions, MessageBoxes& messageBoxes,
                 CallReaction& reaction, EventPump& pump)
    : settings_(settings),
      frmOptions_(frmOptions),
      messageBoxes_(messageBoxes),
      reaction_(reaction),
      pump_(pump) {}

void ModRing::MSComm1_OnComm() {
  SerialPort* port = frmOptions_.Port();
  // Without the dialog there is neither a port to drain nor a call timer.
  if (port == nullptr || frmOptions_.RingTimer() == nullptr) return;
  const bool enabled = settings_.Enabled;
  // Read on every event, enabled or not, so the receive buffer never fills.
  std::string text;
  try {
    text = port->Input();
  } catch (const Failure&) {
    // The control raises the event once when the open port fails (device
    // removed, access denied, line hung up); the read then tells why.
    LineLost();
    return;
  }
  const bool found = scanner_.Scan(text);
  if (found && enabled) OnRing();
  if (session_ != nullptr) session_->Received(text);
}

void ModRing::OnRing() {
  Timer* timer = frmOptions_.RingTimer();
  if (timer == nullptr) return;
  // A call ends 10 s after its last ring however late its expiry is handed
  // out: one that fell due ends it now, and this ring begins the next call.
  timer->RaiseOverdue();
  timer = frmOptions_.RingTimer();
  if (timer == nullptr) return;
  if (timer->Enabled()) {
    // A further ring of the call in progress: only its count begins anew.
    timer->SetEnabled(false);
    timer->SetEnabled(true);
    reaction_.FurtherRing();
    return;
  }
  if (!settings_.Enabled) return;
  // The timer runs before the player hears anything, so that a failing
  // reaction still marks the call as known and is not repeated.
  timer->SetEnabled(true);
  React();
}

void ModRing::tmrRING_Timer() {
  // The call is over; the player keeps whatever the reaction set.
  if (Timer* timer = frmOptions_.RingTimer()) timer->SetEnabled(false);
}

}  // namespace hushcall::ringwatch
