#include <gtest/gtest.h>

#include <string>

#include "common/status.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "ringwatch/core/tests/ring_rig.h"

namespace hushcall::ringwatch::testing {
namespace {

const std::string kRing = "\r\nRING\r\n";
const std::string kSetHalf = "Send(1024,128,122)";
const Status kDeviceGone = StatusFromWin32(1167);  // ERROR_DEVICE_NOT_CONNECTED

const CallLog kLost = {"Input", "PortOpen?", "PortOpen=false", "Retry=true", "Box(48)"};
// One tick that finds the port still absent: quietly, the next tick again.
const CallLog kAbsentTick = {"Retry expired", "Retry=false", "RThreshold(0)", "CommPort(3)",
                             "PortOpen=true", "PortOpen?", "Retry=true"};
const CallLog kAnsweredTick = {"Retry expired", "Retry=false", "RThreshold(0)", "CommPort(3)",
                               "PortOpen=true", "Output(ATZ\\r)", "DoEvents", "Input",
                               "RThreshold(5)"};

// A rig whose port is watched, as InitModem leaves it.
struct WatchedRig : RingRig {
  WatchedRig() {
    port().commPort = 3;
    port().open = true;
    port().threshold = 5;
  }
  // The read inside the control's one event for a failed line fails.
  void LoseLine() {
    port().FailOn("Input", 1, kDeviceGone);
    port().RaiseOnComm();
  }
};

TEST(LineLost, ClosesThePortStartsRetryingAndTellsTheUser) {
  WatchedRig rig;
  rig.LoseLine();
  EXPECT_EQ(rig.log, kLost);
  EXPECT_FALSE(rig.port().open);
  EXPECT_TRUE(rig.retry().Enabled());
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text,
            "Hushcall lost the modem on COM3. It will watch again when the modem is back.");
  EXPECT_EQ(rig.boxes.shown[0].title, "Hushcall");
  EXPECT_EQ(rig.boxes.shown[0].code, 48);
}

TEST(LineLost, WhileDisabledOnlyClosesThePort) {
  WatchedRig rig;
  rig.settings.Enabled = false;
  rig.LoseLine();
  EXPECT_EQ(rig.log, (CallLog{"Input", "PortOpen?", "PortOpen=false"}));
  EXPECT_FALSE(rig.retry().Enabled());
}

// The ticks run beneath an unanswered notice; the line coming back and
// going again meanwhile is the same news, not a second box.
TEST(LineLost, IsToldOnceWhileTheNoticeIsUp) {
  WatchedRig rig;
  rig.boxes.answers.push_back({1, [&] {
                                 rig.port().inputs = {"OK\r\n"};
                                 rig.retry().Advance(2000);
                                 rig.LoseLine();
                               }});
  rig.LoseLine();
  EXPECT_EQ(rig.log, Join({kLost, kAnsweredTick, {"Input", "PortOpen?", "PortOpen=false",
                                                   "Retry=true"}}));
  EXPECT_TRUE(rig.retry().Enabled());
  // Answered, a later loss is told again.
  rig.port().inputs = {"OK\r\n"};
  rig.retry().Advance(2000);
  rig.log.clear();
  rig.LoseLine();
  EXPECT_EQ(rig.log, kLost);
}

// The user answers the popup while the notice opened inside it is still up:
// the popup is off the screen, so the next call is shown again.
TEST(LineLost, APopupAnsweredAboveTheNoticeNoLongerHoldsBackTheNextCall) {
  WatchedRig rig;
  rig.settings.Popup = true;
  rig.boxes.answers.push_back({1, [&] { rig.LoseLine(); }, /*pressedFirst=*/true});
  rig.boxes.answers.push_back({1, [&] {
                                 rig.port().inputs = {"OK\r\n"};
                                 rig.retry().Advance(2000);
                                 rig.timer().Advance(10000);
                                 rig.Receive(kRing);
                               }});
  rig.Receive(kRing);
  ASSERT_EQ(rig.boxes.shown.size(), 3u);
  EXPECT_EQ(rig.boxes.shown[0].text, kRingingText);
  EXPECT_EQ(rig.boxes.shown[1].text, LineLostText("COM3"));
  EXPECT_EQ(rig.boxes.shown[2].text, kRingingText);
  EXPECT_EQ(rig.Count(kSetHalf), 2);
}

TEST(LineRetry, TriesEveryTwoSecondsQuietlyWhileThePortIsAbsent) {
  WatchedRig rig;
  rig.LoseLine();
  rig.port().FailOn("PortOpen=true", -1, StatusFromWin32(2));
  rig.log.clear();
  rig.retry().Advance(6000);
  EXPECT_EQ(rig.log, Join({kAbsentTick, kAbsentTick, kAbsentTick}));
  EXPECT_EQ(rig.boxes.shown.size(), 1u) << "only the notice";
}

TEST(LineRetry, ASilentModemIsClosedAndTriedAgainWithoutABox) {
  WatchedRig rig;
  rig.LoseLine();
  rig.log.clear();
  rig.retry().Advance(2000);
  EXPECT_EQ(rig.clock.nowMs, 2000 + kModemReplyTimeoutMs) << "one full reply wait";
  EXPECT_EQ(CallLog(rig.log.end() - 4, rig.log.end()),
            (CallLog{"Input", "PortOpen?", "PortOpen=false", "Retry=true"}));
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_TRUE(rig.retry().Enabled());
}

TEST(LineRetry, TheModemBackMeansWatchingAgainAndTheNextCallReacts) {
  WatchedRig rig;
  rig.Receive("\r\nRIN");
  rig.LoseLine();
  rig.port().FailOn("PortOpen=true", 1, StatusFromWin32(2));
  rig.port().inputs = {"OK\r\n"};
  rig.log.clear();
  rig.retry().Advance(4000);
  EXPECT_EQ(rig.log, Join({kAbsentTick, kAnsweredTick}));
  EXPECT_FALSE(rig.retry().Enabled());
  EXPECT_TRUE(rig.port().open);
  EXPECT_EQ(rig.port().threshold, 5);
  rig.log.clear();
  rig.Receive("G\r\n");
  EXPECT_EQ(rig.log, (CallLog{"Input"})) << "text from before the loss is forgotten";
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Input", "Timer=true", kSetHalf}));
}

// With nobody to ask, a missing modem is told once and then looked for
// quietly, until it answers and the next call reacts.
TEST(QuietStart, AMissingModemIsToldOnceAndTriedEveryTwoSeconds) {
  RingRig rig;
  rig.port().FailOn("PortOpen=true", 3, StatusFromWin32(2));
  rig.ring.InitModemQuietly();
  EXPECT_FALSE(rig.port().open);
  EXPECT_TRUE(rig.retry().Enabled());
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, NoModemText("COM3"));
  EXPECT_EQ(rig.boxes.shown[0].code, kMbExclamationOk);
  rig.port().inputs = {"OK\r\n"};
  rig.log.clear();
  rig.retry().Advance(6000);
  EXPECT_EQ(rig.log, Join({kAbsentTick, kAbsentTick, kAnsweredTick}));
  EXPECT_EQ(rig.boxes.shown.size(), 1u) << "the retries are quiet";
  rig.log.clear();
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=true", kSetHalf}));
}

// What may happen in a retry's reply wait, and stops the retrying.
struct Interruption {
  const char* name;
  void (*act)(RingRig&);
};

class RetryInterrupted : public ::testing::TestWithParam<Interruption> {};

TEST_P(RetryInterrupted, InTheWaitStopsRetryingAndTouchesNothingAfter) {
  WatchedRig rig;
  rig.LoseLine();
  rig.port().duringWait = {[&] {
    GetParam().act(rig);
    rig.log.push_back("acted");
  }};
  rig.retry().Advance(2000);
  EXPECT_EQ(rig.log.back(), "acted");
  EXPECT_TRUE(rig.dialog.RetryTimer() == nullptr || !rig.retry().Enabled());
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Events, RetryInterrupted,
    ::testing::Values(
        // Apply: InitModem takes the port over, and answers.
        Interruption{"Apply", [](RingRig& rig) {
                       rig.port().SetPortOpen(false);
                       rig.port().inputs = {"OK\r\n"};
                       rig.ring.InitModem();
                     }},
        // Apply with Enabled cleared.
        Interruption{"Disable", [](RingRig& rig) {
                       rig.settings.Enabled = false;
                       rig.port().SetPortOpen(false);
                     }},
        // OK with Enabled cleared, or the player's quit.
        Interruption{"Unload", [](RingRig& rig) { rig.dialog.Unload(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineRetry, ApplyStopsTheTicks) {
  WatchedRig rig;
  rig.LoseLine();
  rig.port().inputs = {"OK\r\n"};
  rig.log.clear();
  rig.ring.InitModem();
  EXPECT_EQ(rig.log.front(), "Retry=false");
  EXPECT_FALSE(rig.retry().Enabled());
}

TEST(LineRetry, ATickAfterDisablingStopsWithoutTouchingThePort) {
  WatchedRig rig;
  rig.LoseLine();
  rig.settings.Enabled = false;
  rig.log.clear();
  rig.retry().Advance(2000);
  EXPECT_EQ(rig.log, (CallLog{"Retry expired", "Retry=false"}));
}

}  // namespace
}  // namespace hushcall::ringwatch::testing
