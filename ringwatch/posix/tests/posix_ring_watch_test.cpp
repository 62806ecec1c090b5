// The ring watch as the desktop service runs it: the real ModRing over
// WatchComponents, PosixComponents and one EventLoop, with a modem on a
// pseudo-terminal behind a symlink as the device. Only the player reaction
// (recorded here) and the message boxes (tests/support) are stand-ins, and
// the call timer is shortened so that a call can end within the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/core/call_reaction.h"
#include "ringwatch/core/components.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/core/ring_watch.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"
#include "common/status.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/posix/posix_components.h"
#include "ringwatch/posix/tests/line_log.h"
#include "ringwatch/posix/tty_serial_port.h"
#include "ringwatch/posix/watch_components.h"
#include "ringwatch/posix/tests/pty_modem.h"
#include "settings/settings.h"
#include "tests/support/call_log.h"
#include "tests/support/fake_message_boxes.h"
#include "tests/support/starting_settings.h"

namespace hushcall::ringwatch {
namespace {

using hushcall::testing::CallLog;
using hushcall::testing::FakeMessageBoxes;
using hushcall::testing::kIdOk;
using testing::PointLink;
using testing::PtyModem;
using testing::PumpFor;
using testing::PumpUntil;
using testing::TempDir;

// Stands in for the 10 s call timer; the rings of one call come far closer.
constexpr int kCallTimerMs = 600;
constexpr int kRingGapMs = 20;
// How long anything that is due may take to happen, on a busy machine.
constexpr int kBoundMs = 3000;

constexpr const char* kRing = "RING\r\n";

// The player's side: counts the first rings of calls, and fails them when
// told to.
class RecordingReaction final : public CallReaction {
 public:
  void FirstRing() override {
    ++calls;
    if (fails) Fail(kOverflow);
  }
  int calls = 0;
  bool fails = false;
};

using RecordingLog = hushcall::testing::LineLog;

// The factory the service uses, with the call timer shortened.
class ShortCallTimer final : public ComponentFactory {
 public:
  explicit ShortCallTimer(ComponentFactory& factory) : factory_(factory) {}
  std::unique_ptr<SerialPort> CreateSerialPort() override { return factory_.CreateSerialPort(); }
  std::unique_ptr<Timer> CreateTimer(int intervalMs) override {
    return factory_.CreateTimer(intervalMs == kRingTimerIntervalMs ? kCallTimerMs : intervalMs);
  }

 private:
  ComponentFactory& factory_;
};

// Passes the components' events on to ModRing, counting them.
class CountingWatch final : public RingWatch {
 public:
  CountingWatch(ModRing& ring, EventLoop& loop) : ring_(ring), loop_(loop) {}
  void InitModem() override { ring_.InitModem(); }
  void MSComm1_OnComm() override {
    ++comms;
    ring_.MSComm1_OnComm();
  }
  void tmrRING_Timer() override { ring_.tmrRING_Timer(); }
  void tmrRetry_Timer() override {
    retries.push_back(loop_.NowMs());
    ring_.tmrRetry_Timer();
  }

  int comms = 0;
  std::vector<std::int64_t> retries;  // when each retry tick came

 private:
  ModRing& ring_;
  EventLoop& loop_;
};

// Line noise: random bytes that hold no ring report.
std::string Noise(std::size_t size) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string noise(size, '\0');
  for (char& c : noise) c = static_cast<char>(byte(random));
  return noise;
}

class PosixRingWatch : public ::testing::Test {
 protected:
  PosixRingWatch() {
    hushcall::testing::SetStartingSettings(settings_);
    components_.SetRingWatch(&watch_);
    components_.Load();
  }

  // The device path leads to this modem from now on.
  void Connect(const PtyModem& modem) { PointLink(device_, modem.path()); }
  bool Watching() {
    SerialPort* port = components_.Port();
    return port != nullptr && port->PortOpen() && !components_.RetryTimer()->Enabled();
  }
  std::vector<std::string> Shown() const {
    std::vector<std::string> texts;
    for (const auto& box : boxes_.shown) texts.push_back(box.text);
    return texts;
  }

  TempDir dir_;
  const std::string device_ = dir_.path() + "/modem";
  Settings settings_;
  EventLoop loop_;
  PosixComponents posix_{loop_, device_};
  ShortCallTimer factory_{posix_};
  RecordingLog serviceLog_;
  WatchComponents components_{factory_, &serviceLog_};
  CallLog log_;
  FakeMessageBoxes boxes_{log_};
  RecordingReaction reaction_;
  ModRing ring_{settings_, components_, boxes_, reaction_, loop_};
  CountingWatch watch_{ring_, loop_};
};

TEST_F(PosixRingWatch, ModemAnswersAndEachCallReactsOnce) {
  PtyModem modem(loop_);
  Connect(modem);
  ring_.InitModemQuietly();
  EXPECT_EQ(modem.received(), "ATZ\r");
  EXPECT_TRUE(boxes_.shown.empty());
  ASSERT_TRUE(Watching());
  EXPECT_EQ(components_.Port()->Name(), device_);

  // A report in odd pieces, each taken by an event of its own.
  for (const char* piece : {"R", "IN", "G\r", "\n"}) {
    const int before = watch_.comms;
    modem.Send(piece);
    ASSERT_TRUE(PumpUntil(loop_, [&] { return watch_.comms > before; }, kBoundMs)) << piece;
  }
  EXPECT_EQ(reaction_.calls, 1);
  EXPECT_TRUE(components_.RingTimer()->Enabled());

  // The call goes on for 50 more rings: each begins the call timer anew.
  std::int64_t lastRing = 0;
  for (int i = 0; i < 50; ++i) {
    lastRing = loop_.NowMs();
    modem.Send(kRing);
    PumpFor(loop_, kRingGapMs);
  }
  EXPECT_EQ(reaction_.calls, 1);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return !components_.RingTimer()->Enabled(); }, kBoundMs));
  EXPECT_GE(loop_.NowMs() - lastRing, kCallTimerMs - 1) << "the call ends a timer after its last ring";

  // The next call's ring, after 60 KB of line noise.
  const std::string noise = Noise(60 * 1024);
  ASSERT_EQ(noise.find(kRing), std::string::npos);
  modem.Send(noise + kRing);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return reaction_.calls == 2; }, kBoundMs));
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(PosixRingWatch, HangUpIsToldOnceAndTheModemThatComesBackIsReset) {
  auto first = std::make_unique<PtyModem>(loop_);
  Connect(*first);
  ring_.InitModemQuietly();
  ASSERT_TRUE(Watching());

  const int before = watch_.comms;
  first->HangUp();
  ASSERT_TRUE(PumpUntil(loop_, [&] { return !boxes_.shown.empty(); }, kBoundMs));
  EXPECT_EQ(Shown(), std::vector<std::string>{LineLostText(device_)});
  EXPECT_EQ(watch_.comms, before + 1) << "the loss is one event";
  EXPECT_FALSE(components_.Port()->PortOpen());
  EXPECT_TRUE(components_.RetryTimer()->Enabled());

  // The modem is back, on a new pty behind the same path.
  first.reset();
  PtyModem second(loop_);
  Connect(second);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return Watching(); }, kLineRetryIntervalMs + kBoundMs));
  EXPECT_EQ(second.received(), "ATZ\r");
  second.Send(kRing);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return reaction_.calls == 1; }, kBoundMs));
  EXPECT_EQ(boxes_.shown.size(), 1u);
}

TEST_F(PosixRingWatch, MissingDeviceIsToldOnceAndTriedEvery2Seconds) {
  ring_.InitModemQuietly();
  const std::int64_t told = loop_.NowMs();
  EXPECT_EQ(Shown(), std::vector<std::string>{NoModemText(device_)});
  EXPECT_FALSE(components_.Port()->PortOpen());
  ASSERT_TRUE(components_.RetryTimer()->Enabled());

  // A tick that finds no device fails quietly and waits for the next.
  ASSERT_TRUE(PumpUntil(loop_, [&] { return watch_.retries.size() == 1; },
                        kLineRetryIntervalMs + kBoundMs));
  EXPECT_GE(watch_.retries[0] - told, kLineRetryIntervalMs - 100);
  EXPECT_TRUE(components_.RetryTimer()->Enabled());
  EXPECT_FALSE(components_.Port()->PortOpen());

  PtyModem modem(loop_);
  Connect(modem);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return Watching(); }, kLineRetryIntervalMs + kBoundMs));
  ASSERT_EQ(watch_.retries.size(), 2u);
  EXPECT_GE(watch_.retries[1] - watch_.retries[0], kLineRetryIntervalMs - 1);
  EXPECT_EQ(modem.received(), "ATZ\r");
  modem.Send(kRing);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return reaction_.calls == 1; }, kBoundMs));
  EXPECT_EQ(boxes_.shown.size(), 1u) << "told once";
}

TEST_F(PosixRingWatch, AFailingReactionEndsItsEventAlone) {
  reaction_.fails = true;
  PtyModem modem(loop_);
  Connect(modem);
  ring_.InitModemQuietly();
  ASSERT_TRUE(Watching());

  modem.Send(kRing);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return reaction_.calls == 1; }, kBoundMs));
  EXPECT_EQ(serviceLog_.lines, std::vector<std::string>{"MSComm1_OnComm failed: status 0x8002000A"});
  // The call is known all the same, and the port goes on being watched.
  EXPECT_TRUE(components_.RingTimer()->Enabled());
  const int before = watch_.comms;
  modem.Send(kRing);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return watch_.comms > before; }, kBoundMs));
  EXPECT_EQ(reaction_.calls, 1);
  EXPECT_TRUE(Watching());
}

TEST_F(PosixRingWatch, UnloadingInsideTheRingPopupIsSafe) {
  settings_.Popup = true;
  // The port that raised the event goes while its handler is on the stack.
  boxes_.answers = {{kIdOk, [this] { components_.Unload(); }}};
  PtyModem modem(loop_);
  Connect(modem);
  ring_.InitModemQuietly();
  ASSERT_TRUE(Watching());

  modem.Send(kRing);
  ASSERT_TRUE(PumpUntil(loop_, [&] { return !boxes_.shown.empty(); }, kBoundMs));
  EXPECT_FALSE(components_.Loaded());
  EXPECT_EQ(components_.Port(), nullptr);
  modem.Send(kRing);
  PumpFor(loop_, 200);
  EXPECT_EQ(Shown(), std::vector<std::string>{std::string(kRingingText)});
  EXPECT_EQ(reaction_.calls, 1);
  // The destroyed port gave the device up.
  TtySerialPort again(loop_, device_);
  again.SetPortOpen(true);
  EXPECT_TRUE(again.PortOpen());
}

}  // namespace
}  // namespace hushcall::ringwatch
