// Brings the modem into service: open the port, reset the modem, wait for
// its "OK", then switch on receive events. Every failure asks the user.
#include <exception>
#include <string>
#include <string_view>
#include <utility>

#include "common/status.h"
#include "ringwatch/core/options_dialog.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"

namespace hushcall::ringwatch {

namespace {

constexpr std::string_view kResetCommand = "ATZ\r";
constexpr std::string_view kReplyMarker = "OK\r\n";
constexpr std::int16_t kNoReceiveEvents = 0;
constexpr std::int16_t kReceiveThreshold = 5;

}  // namespace

ModRing::Activation ModRing::BeginActivation(bool quiet) {
  return {++activations_, frmOptions_.LoadGeneration(), quiet};
}

// Events run nested inside every wait. The dialog may be unloaded or
// reloaded there (its port is then gone or another one), and Apply may
// start a newer activation, which then owns the port. After each wait an
// activation checks this and, if so, leaves without touching anything.
bool ModRing::Superseded(const Activation& activation) const {
  return activations_ != activation.number ||
         frmOptions_.LoadGeneration() != activation.generation || frmOptions_.Port() == nullptr ||
         (activation.quiet && !settings_.Enabled);
}

SerialPort& ModRing::Port() {
  SerialPort* p = frmOptions_.Port();
  if (p == nullptr) Fail(kPointer);
  return *p;
}

void ModRing::StopRetrying() {
  Timer* retry = frmOptions_.RetryTimer();
  if (retry != nullptr && retry->Enabled()) retry->SetEnabled(false);
}

ModRing::Attempt ModRing::ResetModem(const Activation& activation, std::string& reply,
                                     bool eventsOffFirst) {
  try {
    // No receive events while the reply is read here, or the ring handler
    // would take it.
    if (eventsOffFirst) Port().SetRThreshold(kNoReceiveEvents);
    Port().SetCommPort(static_cast<std::int16_t>(settings_.COMPort.value()));
    Port().SetPortOpen(true);
    Port().SetOutput(kResetCommand);
    const std::int64_t written = pump_.NowMs();
    for (;;) {
      pump_.DoEvents();
      if (Superseded(activation)) return Attempt::kSuperseded;
      reply += Port().Input();
      if (reply.find(kReplyMarker) != std::string::npos) break;
      if (pump_.NowMs() - written >= kModemReplyTimeoutMs) return Attempt::kFailed;
      // Sleeps until input or a message may be there, so the wait neither
      // spins nor holds a reply back by more than one slice.
      Port().WaitForInputOrMessage(kModemPollSliceMs);
      if (Superseded(activation)) return Attempt::kSuperseded;
    }
    Port().SetRThreshold(kReceiveThreshold);
    // A new session on the line: nothing read before belongs to it.
    scanner_.Reset();
    if (session_ != nullptr) session_->Answered(Port());
    return Attempt::kAnswered;
  } catch (const std::exception&) {
    return Attempt::kFailed;
  }
}

void ModRing::InitModem() {
  if (!settings_.Enabled) return;
  // Nothing to bring into service without the dialog that carries the port.
  if (frmOptions_.Port() == nullptr) return;
  // This activation owns the port from now on; a lost line's retries end.
  StopRetrying();
  const Activation activation = BeginActivation(/*quiet=*/false);

  // Kept across polls and retries, so a reply that straddles a failure
  // still counts.
  std::string reply;
  bool beforeRetryPoint = true;
  for (;;) {
    // Receive events go off once only: a retry finds them still off.
    switch (ResetModem(activation, reply, std::exchange(beforeRetryPoint, false))) {
      case Attempt::kAnswered:
      case Attempt::kSuperseded:
        return;
      case Attempt::kFailed:
        break;
    }
    const int answer = messageBoxes_.Show(kModemFailureText, kProductName, kMbCriticalYesNoCancel);
    if (Superseded(activation)) return;
    // Failures from here on are the caller's: the answer is not asked again.
    // Whatever the answer, the port goes closed: a retry opens it afresh, and
    // otherwise it would watch nothing yet keep the modem from every other
    // program.
    SerialPort& p = Port();
    if (p.PortOpen()) p.SetPortOpen(false);
    switch (answer) {
      case kIdYes:
        continue;  // back to the retry point, with the reply text kept
      case kIdNo:
        // Let the user pick another port; from a visible dialog the user is
        // already there.
        if (!frmOptions_.Visible()) frmOptions_.ShowModal();
        return;
      case kIdCancel:
        settings_.Enabled = false;
        frmOptions_.Hide();
        return;
      default:
        return;
    }
  }
}

}  // namespace hushcall::ringwatch
