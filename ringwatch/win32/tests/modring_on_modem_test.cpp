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
#include "ringwatch/win32/component_factory.h"
#include "ringwatch/win32/tests/test_support.h"
#include "ringwatch/win32/win32_platform.h"

namespace hushcall::ringwatch {
namespace {

using testing::Modem;
using testing::PumpFor;
using testing::PumpUntil;

constexpr int kCallTimerMs = 400;  // stands in for the 10 s call timer

// A dialog that is nothing but its two components, made by the factory.
class ComponentDialog final : public ringwatch::OptionsDialog {
 public:
  std::function<void()> onLoad;  // wires the components' events

  bool Loaded() const override { return port_ != nullptr; }
  void Load() override {
    if (Loaded()) return;
    port_ = factory_.CreateSerialPort();
    timer_ = factory_.CreateTimer(kCallTimerMs);
    ++generation_;
    if (onLoad) onLoad();
  }
  void ShowModal() override { Load(); }
  void Unload() override {
    port_.reset();
    timer_.reset();
    ++generation_;
  }
  bool Visible() const override { return false; }
  void Hide() override {}
  SerialPort* Port() override { return port_.get(); }
  Timer* RingTimer() override { return timer_.get(); }
  std::uint64_t LoadGeneration() const override { return generation_; }

 private:
  Win32ComponentFactory factory_;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<Timer> timer_;
  std::uint64_t generation_ = 0;
};

struct PlayerMessage {
  std::uint32_t msg;
  std::int32_t wParam;
  std::int32_t lParam;
  bool operator==(const PlayerMessage&) const = default;
};

class RecordingPlayer final : public PlayerWindow {
 public:
  std::vector<PlayerMessage> sent;
  std::int32_t Send(std::int32_t, std::uint32_t msg, std::int32_t wParam, std::int32_t lParam) override {
    sent.push_back({msg, wParam, lParam});
    return 0;
  }
};

class ScriptedBoxes final : public MessageBoxes {
 public:
  std::vector<int> codes;
  int answer = kIdCancel;
  std::function<void()> whileShown;  // runs inside the box, as nested events do
  int Show(std::string_view, std::string_view, int code) override {
    codes.push_back(code);
    if (whileShown) whileShown();
    return answer;
  }
};

class ModRingOnModem : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Modem::Available()) GTEST_SKIP() << "no modem simulator on COM5";
    settings_.Action = kActionVolume;
    settings_.Volume = 50;
    settings_.Percent = false;
    settings_.Popup = false;
    settings_.Enabled = true;
    settings_.COMPort = testing::kModemPort;
    dialog_.onLoad = [this] {
      dialog_.Port()->SetOnComm([this] { ring_.MSComm1_OnComm(); });
      dialog_.RingTimer()->SetOnTimer([this] { ring_.tmrRING_Timer(); });
    };
    dialog_.Load();
  }

  Settings settings_;
  std::int32_t playerWnd_ = 0x00120034;
  ComponentDialog dialog_;
  ScriptedBoxes boxes_;
  RecordingPlayer player_;
  Win32EventPump pump_;
  ModRing ring_{settings_, playerWnd_, dialog_, boxes_, player_, pump_};
};

TEST_F(ModRingOnModem, ModemAnswersAndTheRingsOfOneCallReactOnce) {
  ring_.InitModem();
  EXPECT_TRUE(boxes_.codes.empty());
  ASSERT_TRUE(dialog_.Port()->PortOpen());

  Modem::Command("ring 3 100");
  ASSERT_TRUE(PumpUntil([&] { return !player_.sent.empty(); }, 3000));
  EXPECT_TRUE(dialog_.RingTimer()->Enabled());
  // The call ends once the timer runs out after the last ring.
  ASSERT_TRUE(PumpUntil([&] { return !dialog_.RingTimer()->Enabled(); }, 5000));
  const std::vector<PlayerMessage> once = {{kWmUser, 128, kActionVolume}};
  EXPECT_EQ(player_.sent, once);
}

TEST_F(ModRingOnModem, MissingPortAsksTheUserAtOnce) {
  settings_.COMPort = testing::kUnmappedPort;
  ring_.InitModem();
  EXPECT_EQ(boxes_.codes, std::vector<int>{kMbCriticalYesNoCancel});
  EXPECT_FALSE(settings_.Enabled) << "Cancel disables";
  EXPECT_FALSE(dialog_.Port()->PortOpen());
}

TEST_F(ModRingOnModem, UnloadingTheDialogInsideTheRingPopupIsSafe) {
  settings_.Popup = true;
  // As when the host's Quit arrives while "The phone is ringing!" waits: the
  // port that raised the event goes while its handler is on the stack.
  boxes_.whileShown = [this] { dialog_.Unload(); };
  ring_.InitModem();
  ASSERT_TRUE(dialog_.Port()->PortOpen());

  Modem::Command("ring");
  ASSERT_TRUE(PumpUntil([&] { return !boxes_.codes.empty(); }, 3000));
  EXPECT_FALSE(dialog_.Loaded());
  Modem::Command("ring");
  PumpFor(300);
  EXPECT_EQ(boxes_.codes, std::vector<int>{kMbExclamationOk});
  EXPECT_EQ(player_.sent.size(), 1u);
}

}  // namespace
}  // namespace hushcall::ringwatch
