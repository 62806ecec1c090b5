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

namespace hushcall::ringwatch {

namespace {

constexpr std::string_view kResetCommand = "ATZ\r";
constexpr std::string_view kReplyMarker = "OK\r\n";
constexpr std::int16_t kNoReceiveEvents = 0;
constexpr std::int16_t kReceiveThreshold = 5;

enum class Attempt { kAnswered, kFailed, kSuperseded };

}  // namespace

void ModRing::InitModem() {
  if (!settings_.Enabled) return;
  // Nothing to bring into service without the dialog that carries the port.
  if (frmOptions_.Port() == nullptr) return;

  // Events run nested inside every wait below. The dialog may be unloaded or
  // reloaded there (its port is then gone or another one), and Apply may
  // start a newer activation, which then owns the port. After each wait this
  // activation checks and, if so, leaves without touching anything.
  const std::uint64_t activation = ++activations_;
  const std::uint64_t generation = frmOptions_.LoadGeneration();
  const auto superseded = [&] {
    return activations_ != activation || frmOptions_.LoadGeneration() != generation ||
           frmOptions_.Port() == nullptr;
  };
  // Always reached afresh: a nested event may have replaced the component.
  const auto port = [&]() -> SerialPort& {
    SerialPort* p = frmOptions_.Port();
    if (p == nullptr) Fail(kPointer);
    return *p;
  };

  // Kept across polls and retries, so a reply that straddles a failure
  // still counts.
  std::string reply;
  bool beforeRetryPoint = true;

  const auto attempt = [&]() -> Attempt {
    try {
      // No receive events while the reply is read here, or the ring
      // handler would take it. Set once only: a retry finds it still 0.
      if (std::exchange(beforeRetryPoint, false)) port().SetRThreshold(kNoReceiveEvents);
      port().SetCommPort(static_cast<std::int16_t>(settings_.COMPort.value()));
      port().SetPortOpen(true);
      port().SetOutput(kResetCommand);
      const std::int64_t written = pump_.NowMs();
      for (;;) {
        pump_.DoEvents();
        if (superseded()) return Attempt::kSuperseded;
        reply += port().Input();
        if (reply.find(kReplyMarker) != std::string::npos) break;
        if (pump_.NowMs() - written >= kModemReplyTimeoutMs) return Attempt::kFailed;
        // Sleeps until input or a message may be there, so the wait neither
        // spins nor holds a reply back by more than one slice.
        port().WaitForInputOrMessage(kModemPollSliceMs);
        if (superseded()) return Attempt::kSuperseded;
      }
      port().SetRThreshold(kReceiveThreshold);
      return Attempt::kAnswered;
    } catch (const std::exception&) {
      return Attempt::kFailed;
    }
  };

  for (;;) {
    switch (attempt()) {
      case Attempt::kAnswered:
        // A new session on the line: nothing read before belongs to it.
        scanner_.Reset();
        return;
      case Attempt::kSuperseded:
        return;
      case Attempt::kFailed:
        break;
    }
    const int answer = messageBoxes_.Show(kModemFailureText, kProductName, kMbCriticalYesNoCancel);
    if (superseded()) return;
    // Failures from here on are the caller's: the answer is not asked again.
    switch (answer) {
      case kIdYes: {
        SerialPort& p = port();
        if (p.PortOpen()) p.SetPortOpen(false);
        continue;  // back to the retry point, with the reply text kept
      }
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
