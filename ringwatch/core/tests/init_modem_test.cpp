#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/status.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "ringwatch/core/tests/ring_rig.h"

namespace hushcall::ringwatch::testing {
namespace {

// Polls within the 5 s reply time at one 10 ms slice each: the poll at
// exactly 5 s is the last one searched.
constexpr int kPollsUntilTimeout = kModemReplyTimeoutMs / kModemPollSliceMs + 1;

const CallLog kOpening = {"RThreshold(0)", "CommPort(3)", "PortOpen=true", "Output(ATZ\\r)"};
const CallLog kReopening = {"CommPort(3)", "PortOpen=true", "Output(ATZ\\r)"};
// Every answer to the box closes a port left open.
const CallLog kClosing = {"PortOpen?", "PortOpen=false"};

// `polls` polls that find nothing, each followed by its wait.
CallLog EmptyPolls(int polls) {
  CallLog log;
  for (int i = 0; i < polls; ++i) {
    log.insert(log.end(), {"DoEvents", "Input", "Wait(10)"});
  }
  return log;
}

// The polls of a wait that times out, ending with the message box.
CallLog TimedOutWait() {
  return Join({EmptyPolls(kPollsUntilTimeout - 1), {"DoEvents", "Input", "Box(19)"}});
}

TEST(InitModem, DisabledReturnsWithoutTouchingAnything) {
  RingRig rig;
  rig.settings.Enabled = false;
  rig.ring.InitModem();
  EXPECT_TRUE(rig.log.empty());
}

TEST(InitModem, EchoThenReplyOpensThePortWithReceiveEvents) {
  RingRig rig;
  rig.port().inputs = {"ATZ\r", "\r\nOK\r\n"};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, EmptyPolls(1), {"DoEvents", "Input", "RThreshold(5)"}}));
  EXPECT_TRUE(rig.port().open);
  EXPECT_EQ(rig.port().commPort, 3);
  EXPECT_EQ(rig.port().threshold, 5);
  EXPECT_EQ(rig.port().written, "ATZ\r");
  EXPECT_TRUE(rig.boxes.shown.empty());
}

TEST(InitModem, ReplyInTheFirstPollNeedsNoWait) {
  RingRig rig;
  rig.port().inputs = {"ATZ\r\r\nOK\r\n"};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, {"DoEvents", "Input", "RThreshold(5)"}}));
}

TEST(InitModem, ReplyInPiecesIsFound) {
  RingRig rig;
  rig.port().inputs = {"\r\nO", "", "K\r", "\n"};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, EmptyPolls(3), {"DoEvents", "Input", "RThreshold(5)"}}));
}

TEST(InitModem, ReplyOnTheLastPollBeforeTheTimeIsUpIsFound) {
  RingRig rig;
  rig.port().inputs.assign(kPollsUntilTimeout - 1, "");
  rig.port().inputs.push_back("OK\r\n");
  rig.ring.InitModem();
  EXPECT_TRUE(rig.boxes.shown.empty());
  EXPECT_EQ(rig.port().threshold, 5);
}

class NotTheMarker : public ::testing::TestWithParam<std::string> {};

TEST_P(NotTheMarker, TimesOutAfterFiveSecondsAndAsks) {
  RingRig rig;
  rig.port().inputs = {GetParam()};
  rig.boxes.answers = {{kIdCancel}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, TimedOutWait(), kClosing, {"Hide"}}));
  EXPECT_EQ(rig.clock.nowMs, kModemReplyTimeoutMs);
  ASSERT_EQ(rig.boxes.shown.size(), 1u);
  EXPECT_EQ(rig.boxes.shown[0].text, kModemFailureText);
  EXPECT_EQ(rig.boxes.shown[0].title, "Hushcall");
  EXPECT_EQ(rig.boxes.shown[0].code, 19);
}

INSTANTIATE_TEST_SUITE_P(Replies, NotTheMarker,
                         ::testing::Values("", "OK\r", "ok\r\n", "Ok\r\n", "OK\n\r", "O K\r\n",
                                           "ERROR\r\n"));

struct FailingStep {
  const char* operation;
  CallLog before;  // what runs up to and including the failing operation
  bool opened;     // the port was open when it failed
};

class FailingStepAsks : public ::testing::TestWithParam<FailingStep> {};

TEST_P(FailingStepAsks, ShowsTheBoxAtOnce) {
  RingRig rig;
  rig.port().FailOn(GetParam().operation, 1, StatusFromWin32(2));
  rig.boxes.answers = {{kIdCancel}};
  rig.ring.InitModem();
  const CallLog closing = GetParam().opened ? kClosing : CallLog{"PortOpen?"};
  EXPECT_EQ(rig.log, Join({GetParam().before, {"Box(19)"}, closing, {"Hide"}}));
  EXPECT_FALSE(rig.port().open);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FailingStepAsks,
    ::testing::Values(
        FailingStep{"RThreshold(0)", {"RThreshold(0)"}, false},
        FailingStep{"CommPort(3)", {"RThreshold(0)", "CommPort(3)"}, false},
        FailingStep{"PortOpen=true", {"RThreshold(0)", "CommPort(3)", "PortOpen=true"}, false},
        FailingStep{"Output(ATZ\\r)", kOpening, true},
        FailingStep{"Input", Join({kOpening, {"DoEvents", "Input"}}), true},
        FailingStep{"Wait(10)", Join({kOpening, {"DoEvents", "Input", "Wait(10)"}}), true}));

TEST(InitModem, RefusedPortNumberAsksWithoutWaitingAndNoShowsTheDialog) {
  RingRig rig;
  rig.settings.COMPort = 0;
  rig.port().FailOn("CommPort(0)");
  rig.boxes.answers = {{kIdNo}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log,
            (CallLog{"RThreshold(0)", "CommPort(0)", "Box(19)", "PortOpen?", "Visible?", "ShowModal"}));
  EXPECT_EQ(rig.clock.nowMs, 0);
  EXPECT_TRUE(rig.settings.Enabled);
}

// A port left open without receive events would watch nothing, yet keep
// the modem from every other program.
TEST(InitModem, NoOnTheVisibleDialogClosesThePortAndReturns) {
  RingRig rig;
  rig.dialog.SetVisible(true);
  rig.boxes.answers = {{kIdNo}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, TimedOutWait(), kClosing, {"Visible?"}}));
  EXPECT_FALSE(rig.port().open);
}

TEST(InitModem, CancelClosesThePortDisablesAndHides) {
  RingRig rig;
  rig.dialog.SetVisible(true);
  rig.boxes.answers = {{kIdCancel}};
  rig.ring.InitModem();
  EXPECT_FALSE(rig.settings.Enabled);
  EXPECT_TRUE(rig.settings.Enabled.known());
  EXPECT_EQ(rig.log.back(), "Hide");
  EXPECT_FALSE(rig.port().open);
  EXPECT_FALSE(rig.dialog.Visible());
}

TEST(InitModem, AnyOtherAnswerClosesThePortAndReturns) {
  RingRig rig;
  rig.boxes.answers = {{1}};
  rig.ring.InitModem();
  EXPECT_EQ(CallLog(rig.log.end() - 3, rig.log.end()), Join({{"Box(19)"}, kClosing}));
  EXPECT_TRUE(rig.settings.Enabled);
}

// A reply that arrives on the poll after the time ran out is read by the
// retry's first poll; text before it still counts.
TEST(InitModem, YesReopensResendsAndKeepsTheTextGathered) {
  RingRig rig;
  rig.port().inputs.assign(kPollsUntilTimeout - 1, "");
  rig.port().inputs.push_back("ATZ\r\r\nO");
  rig.port().inputs.push_back("K\r\n");
  rig.boxes.answers = {{kIdYes}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, TimedOutWait(), {"PortOpen?", "PortOpen=false"}, kReopening,
                           {"DoEvents", "Input", "RThreshold(5)"}}));
  EXPECT_EQ(rig.port().written, "ATZ\rATZ\r");
}

TEST(InitModem, YesStartsAFreshFiveSeconds) {
  RingRig rig;
  rig.boxes.answers = {{kIdYes}, {kIdCancel}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, TimedOutWait(), kClosing, kReopening, TimedOutWait(), kClosing,
                           {"Hide"}}));
  EXPECT_EQ(rig.clock.nowMs, 2 * kModemReplyTimeoutMs);
}

TEST(InitModem, YesAfterAFailedOpeningDoesNotCloseAndRetriesWithoutLimit) {
  RingRig rig;
  rig.port().FailOn("PortOpen=true", 3);
  rig.port().inputs = {"OK\r\n"};
  rig.boxes.answers = {{kIdYes}, {kIdYes}, {kIdYes}};
  rig.ring.InitModem();
  const CallLog failedRetry = {"PortOpen?", "CommPort(3)", "PortOpen=true", "Box(19)"};
  EXPECT_EQ(rig.log, Join({{"RThreshold(0)", "CommPort(3)", "PortOpen=true", "Box(19)"},
                           failedRetry, failedRetry, {"PortOpen?"}, kReopening,
                           {"DoEvents", "Input", "RThreshold(5)"}}));
}

TEST(InitModem, YesAfterAFailedThresholdResetDoesNotSetItAgain) {
  RingRig rig;
  rig.port().FailOn("RThreshold(0)", 1);
  rig.port().inputs = {"OK\r\n"};
  rig.boxes.answers = {{kIdYes}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({{"RThreshold(0)", "Box(19)", "PortOpen?"}, kReopening,
                           {"DoEvents", "Input", "RThreshold(5)"}}));
}

TEST(InitModem, FailureWhileClosingForYesPassesToTheCaller) {
  RingRig rig;
  rig.boxes.answers = {{kIdYes}, {kIdYes}};
  rig.port().FailOn("PortOpen=false", 1, StatusFromWin32(31));
  try {
    rig.ring.InitModem();
    FAIL() << "nothing thrown";
  } catch (const Failure& f) {
    EXPECT_EQ(f.status(), StatusFromWin32(31));
  }
  EXPECT_EQ(rig.boxes.shown.size(), 1u);
}

TEST(InitModem, FailureWhileReadingPortOpenForYesPassesToTheCaller) {
  RingRig rig;
  rig.port().FailOn("CommPort(3)", 1);
  rig.port().FailOn("PortOpen?", 1);
  rig.boxes.answers = {{kIdYes}};
  EXPECT_THROW(rig.ring.InitModem(), Failure);
  EXPECT_EQ(rig.log.back(), "PortOpen?");
}

TEST(InitModem, FailureWhileShowingTheDialogForNoPassesToTheCaller) {
  RingRig rig;
  rig.port().FailOn("CommPort(3)", 1);
  rig.boxes.answers = {{kIdNo}};
  rig.dialog.whileModal = [] { Fail(kOutOfMemory); };
  EXPECT_THROW(rig.ring.InitModem(), Failure);
}

TEST(InitModem, SuccessStartsANewRingSession) {
  RingRig rig;
  rig.Receive("\r\nRIN");
  rig.port().inputs = {"OK\r\n"};
  rig.ring.InitModem();
  rig.log.clear();
  rig.Receive("G\r\n");
  EXPECT_EQ(rig.log, (CallLog{"Input"})) << "the half report before the reset is forgotten";
}

// A front end's session speaks once the modem has answered, and hears each
// read after its rings were counted.
TEST(InitModem, ASessionSpeaksAfterTheAnswerAndHearsEveryRead) {
  struct Session final : ModemSession {
    CallLog& log;
    explicit Session(CallLog& l) : log(l) {}
    void Answered(SerialPort& port) override { port.SetOutput("AT+VCID=1\r"); }
    void Received(std::string_view text) override { log.push_back("Heard(" + std::string(text) + ")"); }
  };
  RingRig rig;
  Session session(rig.log);
  rig.ring.SetSession(&session);
  rig.port().inputs = {"ATZ\r\r\nOK\r\n"};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, {"DoEvents", "Input", "RThreshold(5)", "Output(AT+VCID=1\\r)"}}));
  rig.log.clear();
  rig.Receive("RING\r\n");
  EXPECT_EQ(rig.log.back(), "Heard(RING\r\n)") << "after the ring's reaction";
}

// Apply on the visible dialog during the wait starts a newer activation,
// which takes the port over; the older one leaves without a further step.
TEST(InitModemNesting, NewerActivationDuringThePollTakesOver) {
  RingRig rig;
  rig.pump.pending = {{}, [&] {
                        rig.port().SetPortOpen(false);
                        rig.ring.InitModem();
                      }};
  rig.port().inputs = {"", "OK\r\n"};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, EmptyPolls(1), {"DoEvents", "PortOpen=false"}, kOpening,
                           {"DoEvents", "Input", "RThreshold(5)"}}));
  EXPECT_EQ(rig.port().threshold, 5);
}

TEST(InitModemNesting, NewerActivationDuringTheWaitTakesOver) {
  RingRig rig;
  rig.port().duringWait = {[&] {
    rig.port().inputs = {"OK\r\n"};
    rig.ring.InitModem();
  }};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, {"DoEvents", "Input", "Wait(10)"}, kOpening,
                           {"DoEvents", "Input", "RThreshold(5)"}}));
}

TEST(InitModemNesting, NewerActivationDuringTheBoxIgnoresTheOlderAnswer) {
  RingRig rig;
  rig.port().FailOn("PortOpen=true", 1);
  rig.boxes.answers = {{kIdCancel, [&] {
                          rig.port().inputs = {"OK\r\n"};
                          rig.ring.InitModem();
                        }}};
  rig.ring.InitModem();
  EXPECT_TRUE(rig.settings.Enabled) << "the older activation's Cancel must not disable";
  EXPECT_EQ(rig.log.back(), "RThreshold(5)");
  EXPECT_EQ(rig.port().threshold, 5);
}

TEST(InitModemNesting, UnloadDuringTheWaitEndsTheActivation) {
  RingRig rig;
  rig.port().duringWait = {[&] { rig.dialog.Unload(); }};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, {"DoEvents", "Input", "Wait(10)", "Unload"}}));
}

TEST(InitModemNesting, UnloadDuringThePollEndsTheActivation) {
  RingRig rig;
  rig.pump.pending = {[&] { rig.dialog.Unload(); }};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, {"DoEvents", "Unload"}}));
}

TEST(InitModemNesting, ReloadDuringTheBoxLeavesTheNewPortAlone) {
  RingRig rig;
  rig.port().FailOn("CommPort(3)", 1);
  rig.boxes.answers = {{kIdYes, [&] {
                          rig.dialog.Unload();
                          rig.dialog.Load();
                        }}};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, (CallLog{"RThreshold(0)", "CommPort(3)", "Box(19)", "Unload", "Load"}));
  EXPECT_FALSE(rig.port().open);
}

TEST(InitModemNesting, UnloadDuringTheBoxIgnoresCancel) {
  RingRig rig;
  rig.port().FailOn("CommPort(3)", 1);
  rig.boxes.answers = {{kIdCancel, [&] { rig.dialog.Unload(); }}};
  rig.ring.InitModem();
  EXPECT_TRUE(rig.settings.Enabled);
  EXPECT_EQ(rig.log.back(), "Unload");
}

// A receive event that runs nested in the wait takes only its own read; the
// wait goes on reading the reply from the port.
TEST(InitModemNesting, RingEventDuringThePollDoesNotDisturbTheWait) {
  RingRig rig;
  rig.pump.pending = {[&] {
    rig.port().inputs.push_front("RING\r\n");
    rig.port().RaiseOnComm();
  }};
  rig.port().inputs = {"OK\r\n"};
  rig.ring.InitModem();
  EXPECT_EQ(rig.log, Join({kOpening, {"DoEvents", "Input", "Timer=true", "Send(1024,128,122)",
                                      "Input", "RThreshold(5)"}}));
}

}  // namespace
}  // namespace hushcall::ringwatch::testing
