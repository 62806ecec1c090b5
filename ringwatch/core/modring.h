// The ring-watch module: modem initialisation, ring detection, the call
// timer and the reaction sent to the player.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "plugin/core/settings.h"
#include "ringwatch/core/platform.h"

namespace hushcall {
class OptionsDialog;
}

namespace hushcall::ringwatch {

class SerialPort;
class Timer;

inline constexpr std::string_view kModemFailureText =
    "Unable to find modem on specified COM Port, modem is being used, or modem is slow "
    "responding to initialization. Press Yes to retry, No to change COM port, or Cancel to "
    "disable Hushcall.";
inline constexpr std::string_view kRingingText = "The phone is ringing!";
inline constexpr int kModemReplyTimeoutMs = 5000;
inline constexpr int kModemPollSliceMs = 10;

// Player protocol numbers.
inline constexpr std::uint32_t kWmUser = 0x0400;
inline constexpr std::uint32_t kWmCommand = 0x0111;
inline constexpr std::int32_t kVolumeQuery = -666;
inline constexpr std::int32_t kIsPlayingRequest = 104;

// What the options dialog calls into the ring watch for.
class RingWatch {
 public:
  virtual ~RingWatch() = default;
  virtual void InitModem() = 0;       // Form_Load's last step and Apply's
  virtual void MSComm1_OnComm() = 0;  // MSComm1's OnComm event
  virtual void tmrRING_Timer() = 0;   // tmrRING's expiry
};

// Finds ring reports in received text. Keeps the unmatched tail of each read
// that could begin a report (at most five characters) for the next read, so
// that a report split across two reads is found once.
class RingScanner {
 public:
  bool Scan(std::string_view text);
  void Reset() { tail_.clear(); }

 private:
  std::string tail_;
};

class ModRing final : public RingWatch {
 public:
  ModRing(Settings& settings, const std::int32_t& playerWnd, OptionsDialog& frmOptions,
          MessageBoxes& messageBoxes, PlayerWindow& player, EventPump& pump);

  // Opens COMPort, resets the modem and waits up to 5 s for "OK" CR LF, then
  // raises receive events at 5 characters. Failures ask the user (retry,
  // change port, disable). A failure while an answer is carried out throws.
  void InitModem() override;
  // A ring was recognised: start the call (timer, then the reaction) or
  // restart the running call's timer.
  void OnRing();
  // The reaction to the first ring of a call. Throws Failure(kOverflow) when
  // the new volume leaves the signed 32-bit range (nothing sent then).
  void React();

  // Drains the port on every event and calls OnRing for a report found while
  // Enabled is set. Reaches MSComm1 through the dialog.
  void MSComm1_OnComm() override;
  // Stops the ring timer: the call is over.
  void tmrRING_Timer() override;

 private:
  Settings& settings_;
  const std::int32_t& playerWnd_;
  OptionsDialog& frmOptions_;
  MessageBoxes& messageBoxes_;
  PlayerWindow& player_;
  EventPump& pump_;
  std::uint64_t activations_ = 0;  // InitModem calls so far; the newest owns the port
  RingScanner scanner_;            // restarted whenever the modem has answered
};

}  // namespace hushcall::ringwatch
