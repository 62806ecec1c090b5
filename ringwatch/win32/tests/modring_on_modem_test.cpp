// The ring watch's core driven through these components and the modem
// simulator: the seams as the plug-in will use them.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <vector>

#include "ringwatch/core/options_dialog.h"
#include "settings/settings.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/player_window_reaction.h"
#include "ringwatch/win32/component_factory.h"
#include "ringwatch/win32/tests/test_support.h"
#include "ringwatch/win32/win32_platform.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/support/fake_player.h"
#include "tests/support/starting_settings.h"

namespace hushcall::ringwatch {
namespace {

using testing::Modem;
using testing::PumpFor;
using testing::PumpUntil;
using hushcall::testing::CallLog;
using hushcall::testing::FakeMessageBoxes;
using hushcall::testing::FakePlayer;
using hushcall::testing::kIdOk;
using hushcall::testing::PlayerMessage;

constexpr int kCallTimerMs = 400;  // stands in for the 10 s call timer

// A dialog that is nothing but its components, made by the factory.
class ComponentDialog final : public ringwatch::OptionsDialog {
 public:
  std::function<void()> onLoad;  // wires the components' events

  bool Loaded() const override { return port_ != nullptr; }
  void Load() override {
    if (Loaded()) return;
    port_ = factory_.CreateSerialPort();
    timer_ = factory_.CreateTimer(kCallTimerMs);
    retry_ = factory_.CreateTimer(kLineRetryIntervalMs);
    ++generation_;
    if (onLoad) onLoad();
  }
  void ShowModal() override { Load(); }
  void Unload() override {
    retry_.reset();
    port_.reset();
    timer_.reset();
    ++generation_;
  }
  bool Visible() const override { return false; }
  void Hide() override {}
  SerialPort* Port() override { return port_.get(); }
  Timer* RingTimer() override { return timer_.get(); }
  Timer* RetryTimer() override { return retry_.get(); }
  std::uint64_t LoadGeneration() const override { return generation_; }

 private:
  Win32ComponentFactory factory_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<Timer> timer_;
  std::unique_ptr<Timer> retry_;
  std::uint64_t generation_ = 0;
};

class ModRingOnModem : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
    hushcall::testing::SetStartingSettings(settings_, testing::kModemPort);
    dialog_.onLoad = [this] {
      dialog_.Port()->SetOnComm([this] { ring_.MSComm1_OnComm(); });
      dialog_.RingTimer()->SetOnTimer([this] { ring_.tmrRING_Timer(); });
      dialog_.RetryTimer()->SetOnTimer([this] { ring_.tmrRetry_Timer(); });
    };
    dialog_.Load();
  }

  Settings settings_;
  std::int32_t playerWnd_ = 0x00120034;
  ComponentDialog dialog_;
  CallLog log_;
  FakeMessageBoxes boxes_{log_};
  FakePlayer player_{log_};
  Win32EventPump pump_;
  PlayerWindowReaction reaction_{settings_, playerWnd_, player_};
  ModRing ring_{settings_, dialog_, boxes_, reaction_, pump_};
};

TEST_F(ModRingOnModem, ModemAnswersAndTheRingsOfOneCallReactOnce) {
  ring_.InitModem();
  EXPECT_TRUE(boxes_.shown.empty());
  ASSERT_TRUE(dialog_.Port()->PortOpen());

  Modem::Command("ring 3 100");
  ASSERT_TRUE(PumpUntil([&] { return !player_.messages.empty(); }, 3000));
  EXPECT_TRUE(dialog_.RingTimer()->Enabled());
  // The call ends once the timer runs out after the last ring.
  ASSERT_TRUE(PumpUntil([&] { return !dialog_.RingTimer()->Enabled(); }, 5000));
  const std::vector<PlayerMessage> once = {{playerWnd_, kWmUser, 128, kActionVolume}};
  EXPECT_EQ(player_.messages, once);
}

TEST_F(ModRingOnModem, MissingPortAsksTheUserAtOnce) {
  settings_.COMPort = testing::kUnmappedPort;
  boxes_.answers = {{kIdCancel}};
  ring_.InitModem();
  EXPECT_EQ(log_, CallLog{"Box(19)"});
  EXPECT_FALSE(settings_.Enabled) << "Cancel disables";
  EXPECT_FALSE(dialog_.Port()->PortOpen());
}

TEST_F(ModRingOnModem, UnloadingTheDialogInsideTheRingPopupIsSafe) {
  settings_.Popup = true;
  // As when the host's Quit arrives while "The phone is ringing!" waits: the
  // port that raised the event goes while its handler is on the stack.
  boxes_.answers = {{kIdOk, [this] { dialog_.Unload(); }}};
  ring_.InitModem();
  ASSERT_TRUE(dialog_.Port()->PortOpen());

  Modem::Command("ring");
  ASSERT_TRUE(PumpUntil([&] { return !boxes_.shown.empty(); }, 3000));
  EXPECT_FALSE(dialog_.Loaded());
  Modem::Command("ring");
  PumpFor(300);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].code, kMbExclamationOk);
  EXPECT_EQ(player_.messages.size(), 1u);
}

}  // namespace
}  // namespace hushcall::ringwatch
