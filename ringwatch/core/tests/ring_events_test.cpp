#include <gtest/gtest.h>

#include <string>

#include "common/status.h"
#include "ringwatch/core/tests/ring_rig.h"

namespace hushcall::ringwatch::testing {
namespace {

const std::string kRing = "\r\nRING\r\n";
const std::string kSetHalf = "Send(1024,128,122)";  // Volume 50 of full scale

TEST(RingEvents, FirstRingStartsTheTimerBeforeReacting) {
  RingRig rig;
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=true", kSetHalf}));
  EXPECT_TRUE(rig.timer().Enabled());
}

TEST(RingEvents, FurtherRingOfTheCallOnlyRestartsTheTimer) {
  RingRig rig;
  rig.Receive(kRing);
  rig.log.clear();
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=false", "Timer=true"}));
}

TEST(RingEvents, DisabledWatchDrainsThePortAndTouchesNothing) {
  RingRig rig;
  rig.settings.Enabled = false;
  rig.Receive(kRing);
  rig.Receive("OK\r\n");
  EXPECT_EQ(rig.log, (CallLog{"Input", "Input"}));
}

TEST(RingEvents, DisabledWatchDoesNotRestartARunningCall) {
  RingRig rig;
  rig.Receive(kRing);
  rig.settings.Enabled = false;
  rig.log.clear();
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input"}));
  // The call still runs out and the timer stops itself.
  rig.timer().Advance(10000);
  EXPECT_FALSE(rig.timer().Enabled());
}

TEST(RingEvents, EveryEventIsReadEvenWithoutRingText) {
  RingRig rig;
  rig.Receive("");
  rig.Receive("NO CARRIER\r\n");
  EXPECT_EQ(rig.log, (CallLog{"Input", "Input"}));
  EXPECT_TRUE(rig.port().inputs.empty());
}

TEST(RingEvents, SplitReportStartsOneCall) {
  RingRig rig;
  rig.Receive("\r\nRIN");
  rig.Receive("G\r\n");
  EXPECT_EQ(rig.log, (CallLog{"Input", "Input", "Timer=true", kSetHalf}));
}

TEST(RingEvents, TwoReportsInOneReadAreOneRing) {
  RingRig rig;
  rig.Receive("RING\r\nRING\r\n");
  EXPECT_EQ(rig.Count(kSetHalf), 1);
  EXPECT_EQ(rig.Count("Timer=true"), 1);
}

TEST(CallTimer, RingNineSecondsLaterExtendsTheCall) {
  RingRig rig;
  rig.Receive(kRing);
  rig.timer().Advance(9000);
  rig.Receive(kRing);
  rig.timer().Advance(9999);
  EXPECT_TRUE(rig.timer().Enabled()) << "the call ends 10 s after its last ring";
  rig.timer().Advance(1);
  EXPECT_FALSE(rig.timer().Enabled());
  EXPECT_EQ(rig.Count(kSetHalf), 1);
}

TEST(CallTimer, RingElevenSecondsAfterTheLastStartsANewCall) {
  RingRig rig;
  rig.Receive(kRing);
  rig.timer().Advance(11000);
  rig.Receive(kRing);
  EXPECT_EQ(rig.Count(kSetHalf), 2);
}

// A busy system hands the expiry out after the next ring's notice: the ring
// still begins a new call when 10 s have passed, and extends it when not.
TEST(CallTimer, AnExpiryHandedOutLateStillEndsTheCallAtItsTime) {
  RingRig rig;
  rig.timer().late = true;
  rig.Receive(kRing);
  rig.timer().Advance(9000);
  rig.Receive(kRing);
  EXPECT_EQ(rig.Count(kSetHalf), 1);
  rig.timer().Advance(10500);
  rig.Receive(kRing);
  EXPECT_EQ(rig.Count("Timer expired late"), 1);
  EXPECT_EQ(rig.Count(kSetHalf), 2);
}

TEST(CallTimer, ExpiryOnlyStopsTheTimer) {
  RingRig rig;
  rig.Receive(kRing);
  rig.log.clear();
  rig.timer().Advance(10000);
  EXPECT_EQ(rig.log, (CallLog{"Timer expired", "Timer=false"}));
  EXPECT_TRUE(rig.player.messages.size() == 1) << "nothing is restored at the player";
}

TEST(RingEvents, NothingHappensWithoutTheDialog) {
  RingRig rig;
  rig.dialog.Unload();
  rig.log.clear();
  rig.ring.MSComm1_OnComm();
  rig.ring.tmrRING_Timer();
  rig.ring.OnRing();
  EXPECT_TRUE(rig.log.empty());
}

TEST(RingEvents, FailedReactionLeavesTheCallRunningWithoutRepeating) {
  RingRig rig;
  rig.settings.Percent = true;
  rig.settings.Volume = 255;
  rig.player.answers = {2147483647};
  EXPECT_THROW(rig.Receive(kRing), Failure);
  EXPECT_TRUE(rig.timer().Enabled());
  rig.log.clear();
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=false", "Timer=true"}));
}

TEST(RingEvents, RingDuringThePopupRestartsTheCall) {
  RingRig rig;
  rig.settings.Popup = true;
  rig.boxes.answers.push_back({1, [&] { rig.Receive(kRing); }});
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=true", kSetHalf, "Box(48)", "Input", "Timer=false",
                              "Timer=true"}));
}

// An unattended player would otherwise stack one box inside another for
// every call; the player still hears of each call.
TEST(RingEvents, NewCallDuringThePopupReactsWithoutASecondBox) {
  RingRig rig;
  rig.settings.Popup = true;
  rig.boxes.answers.push_back({1, [&] {
                                 rig.timer().Advance(10000);
                                 rig.Receive(kRing);
                               }});
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=true", kSetHalf, "Box(48)", "Timer expired",
                              "Timer=false", "Input", "Timer=true", kSetHalf}));
  // Once answered, the next call shows its box again.
  rig.timer().Advance(10000);
  rig.log.clear();
  rig.Receive(kRing);
  EXPECT_EQ(rig.log, (CallLog{"Input", "Timer=true", kSetHalf, "Box(48)"}));
}

}  // namespace
}  // namespace hushcall::ringwatch::testing
