// One ModRing wired to the fakes, with the dialog loaded and the log empty.
#pragma once

#include <algorithm>
#include <string>

#include "settings/settings.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/player_window_reaction.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_event_pump.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/support/fake_options_dialog.h"
#include "tests/support/fake_player.h"
#include "tests/support/fake_serial_port.h"
#include "tests/support/fake_timer.h"
#include "tests/support/starting_settings.h"

namespace hushcall::ringwatch::testing {

using namespace hushcall::testing;

inline constexpr std::int32_t kPlayerWnd = 0x00120034;

struct RingRig {
  CallLog log;
  FakeClock clock;
  Settings settings;
  std::int32_t playerWnd = kPlayerWnd;
  FakeOptionsDialog dialog{log, clock};
  FakeMessageBoxes boxes{log};
  FakePlayer player{log};
  FakePump pump{log, clock};
  PlayerWindowReaction reaction{settings, playerWnd, player};
  ModRing ring{settings, dialog, boxes, reaction, pump};

  RingRig() {
    SetStartingSettings(settings, 3);
    dialog.Load();
    Wire();
    log.clear();
  }

  // Hooks the components' events to the handlers, as the dialog does.
  void Wire() {
    port().SetOnComm([this] { ring.MSComm1_OnComm(); });
    timer().SetOnTimer([this] { ring.tmrRING_Timer(); });
    retry().SetOnTimer([this] { ring.tmrRetry_Timer(); });
  }

  FakeSerialPort& port() { return *dialog.port(); }
  FakeTimer& timer() { return *dialog.timer(); }
  FakeTimer& retry() { return *dialog.retryTimer(); }

  // The modem sends `text` and the port raises OnComm for it.
  void Receive(const std::string& text) {
    port().inputs.push_back(text);
    port().RaiseOnComm();
  }

  int Count(const std::string& entry) const {
    return static_cast<int>(std::count(log.begin(), log.end(), entry));
  }
};

}  // namespace hushcall::ringwatch::testing
