// modRING: modem initialisation, ring detection, the call timer and the
// reaction sent to the player.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "ringwatch/core/call_reaction.h"
#include "ringwatch/core/event_pump.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/modem_session.h"
#include "ringwatch/core/ring_scanner.h"
#include "ringwatch/core/ring_watch.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {

class OptionsDialog;
class SerialPort;

// InitModem's wait for the modem's "OK": its limit, and the longest it
// sleeps between two looks at the port.
inline constexpr int kModemReplyTimeoutMs = 5000;
inline constexpr int kModemPollSliceMs = 10;

class ModRing final : public RingWatch {
 public:
  ModRing(Settings& settings, OptionsDialog& frmOptions, MessageBoxes& messageBoxes,
          CallReaction& reaction, EventPump& pump);

  // Extends the modem's session; null (the default) for none. The session
  // must outlive this object or be unset first.
  void SetSession(ModemSession* session) { session_ = session; }

  // Opens COMPort, resets the modem and waits up to 5 s for "OK" CR LF, then
  // raises receive events at 5 characters. Failures ask the user (retry,
  // change port, disable). A failure while an answer is carried out throws.
  void InitModem() override;
  // The same without asking anyone, for a front end with nobody to ask: a
  // modem that does not answer is told once, then tried again every 2 s as
  // a lost line is.
  void InitModemQuietly();
  // A ring was recognised: start the call (timer, then the reaction) or
  // restart the running call's timer.
  void OnRing();
  // The reaction to the first ring of a call, then the popup. Throws the
  // reaction's Failure (no popup then).
  void React();

  // Drains the port on every event and calls OnRing for a report found while
  // Enabled is set. A read that fails means the line is lost (LineLost).
  // Reaches MSComm1 through the dialog.
  void MSComm1_OnComm() override;
  // Stops the ring timer: the call is over.
  void tmrRING_Timer() override;
  // The line went away: closes the port, starts tmrRetry and tells the user
  // once. Nothing more while disabled.
  void LineLost();
  // One quiet try at the lost line: reopen, reset the modem, and watch again
  // once it answers; otherwise close and wait for the next tick.
  void tmrRetry_Timer() override;

 private:
  enum class Attempt { kAnswered, kFailed, kSuperseded };
  // One activation of the modem reset, as InitModem or a retry tick started
  // it. Events run nested in its waits; after each, it must still own the
  // port: no newer activation, the same dialog load, and for a quiet retry
  // the watch still enabled.
  struct Activation {
    std::uint64_t number;
    std::uint64_t generation;
    bool quiet;
  };
  Activation BeginActivation(bool quiet);
  bool Superseded(const Activation& activation) const;
  // Sets the port and opens it, sends the reset and waits up to 5 s for the
  // reply (appended to `reply`), then raises receive events at 5
  // characters. Receive events go off first when `eventsOffFirst`.
  Attempt ResetModem(const Activation& activation, std::string& reply, bool eventsOffFirst);
  // The port, reached afresh: a nested event may have replaced it.
  SerialPort& Port();
  // A running retry ends: InitModem now owns the port.
  void StopRetrying();
  // Shows an exclamation box unless the same kind is already up and
  // unanswered. `up` holds while such a box's Show is further down the stack
  // (boxes nest in each other's message loops); the user may have answered
  // that box meanwhile, and then it no longer counts.
  void ShowUnlessUp(bool& up, std::string_view text);

  Settings& settings_;
  OptionsDialog& frmOptions_;
  MessageBoxes& messageBoxes_;
  CallReaction& reaction_;
  EventPump& pump_;
  std::uint64_t activations_ = 0;  // modem resets begun; the newest owns the port
  RingScanner scanner_;            // restarted whenever the modem has answered
  bool popupShown_ = false;        // "The phone is ringing!" is being shown
  bool lostNoticeShown_ = false;   // the lost-line notice is being shown
  bool noModemShown_ = false;      // the quiet start's notice is being shown
  ModemSession* session_ = nullptr;
};

}  // namespace hushcall::ringwatch
