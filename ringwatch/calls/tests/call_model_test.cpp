// The call model on fake time: calls from several sources overlapping, one
// call heard by two sources, a modem's call inside another, the user's
// change during a call, Restore=0, Outgoing=1, a source that stops, and a
// caller learnt after the call began.
#include "ringwatch/calls/call_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ringwatch/calls/tests/fake_call_clock.h"

namespace hushcall::ringwatch {
namespace {

using FakeClock = hushcall::testing::FakeCallClock;

class Reactions final : public QuietReactions {
 public:
  void Quiet(const Call& call) override {
    said.push_back("quiet " + (call.number.known() ? call.number.text : std::string("?")));
  }
  void PutBack() override { said.push_back("put back"); }
  void KeptQuiet(KeptQuietBecause why) override {
    said.push_back(why == KeptQuietBecause::kRestoreOff ? "kept: Restore=0" : "kept: end unknown");
  }
  void CallerKnown(const Call& call) override {
    learnt.push_back(call.legs.front().id + ": " + call.number.text + " " + call.name.text);
  }
  std::vector<std::string> said;
  std::vector<std::string> learnt;  // CallerKnown, apart from the moments
};

using Said = std::vector<std::string>;

CallReport Report(std::string source, std::string id, CallPhase phase, std::string number) {
  CallReport report;
  report.source = std::move(source);
  report.id = std::move(id);
  report.phase = phase;
  if (!number.empty()) report.number = CallerDetail::Known(std::move(number));
  return report;
}
CallReport Router(std::string id, CallPhase phase, std::string number = "") {
  return Report("router", std::move(id), phase, std::move(number));
}
CallReport Mm(std::string id, CallPhase phase, std::string number = "") {
  return Report("modemmanager", std::move(id), phase, std::move(number));
}
// A call the user makes, to 333.
CallReport Dialled(std::string id, CallPhase phase) {
  CallReport report = Router(std::move(id), phase, "333");
  report.direction = CallDirection::kOutgoing;
  return report;
}
// A modem's ring: no number, no end.
CallReport TtyRing(std::string id) {
  CallReport report = Report("tty", std::move(id), CallPhase::kRinging, "");
  report.endKnown = false;
  return report;
}

class CallModelTest : public ::testing::Test {
 protected:
  ServiceSettings settings_ = DefaultServiceSettings();
  FakeClock clock_;
  Reactions reactions_;
  CallModel model_{clock_, reactions_, settings_};
};

TEST_F(CallModelTest, OverlappingCallsFromTwoSourcesQuietOnceAndPutBackAfterTheLast) {
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  model_.Report(Router("7", CallPhase::kRinging, "222"));  // another caller: another call
  model_.Report(Mm("/Call/1", CallPhase::kAnswered));
  EXPECT_EQ(model_.calls().size(), 2u);
  model_.Report(Mm("/Call/1", CallPhase::kEnded));
  EXPECT_EQ(reactions_.said, (Said{"quiet 111"}));
  // A call made while quiet holds the music back too.
  CallReport dialled = Mm("/Call/2", CallPhase::kRinging, "333");
  dialled.direction = CallDirection::kOutgoing;
  model_.Report(dialled);
  model_.Report(Router("7", CallPhase::kEnded));
  EXPECT_EQ(reactions_.said, (Said{"quiet 111"}));
  dialled.phase = CallPhase::kEnded;
  model_.Report(dialled);
  EXPECT_EQ(reactions_.said, (Said{"quiet 111", "put back"}));
  EXPECT_FALSE(model_.quiet());

  // A call made while the music plays quiets nothing and holds back no ring.
  dialled.id = "/Call/3";
  dialled.phase = CallPhase::kAnswered;
  model_.Report(dialled);
  model_.Report(Router("8", CallPhase::kRinging, "444"));
  model_.Report(Router("8", CallPhase::kEnded));
  EXPECT_EQ(reactions_.said, (Said{"quiet 111", "put back", "quiet 444", "put back"}));
}

TEST_F(CallModelTest, TheSameCallHeardByTwoSourcesIsOneCallWithTheKnownEnd) {
  // The modem rings first, without a number; the router's report joins it
  // while it rings, and brings the number and the end.
  model_.Report(TtyRing("1"));
  clock_.Advance(300);
  model_.Report(Router("5", CallPhase::kRinging, "111"));
  ASSERT_EQ(model_.calls().size(), 1u);
  EXPECT_EQ(model_.calls()[0].number.text, "111");
  clock_.Advance(4700);
  model_.Report(TtyRing("1"));
  model_.Report(Router("5", CallPhase::kAnswered));
  // The modem's rings running out end nothing; the router's end does, and
  // a ring of the modem's still on its way is not a new call.
  clock_.Advance(60000);
  EXPECT_EQ(reactions_.said, (Said{"quiet ?"}));
  model_.Report(Router("5", CallPhase::kEnded));
  model_.Report(TtyRing("1"));
  EXPECT_EQ(reactions_.said, (Said{"quiet ?", "put back"}));

  // Both know the number: the same number is the same call, answered or not.
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "222"));
  model_.Report(Mm("/Call/1", CallPhase::kAnswered));
  model_.Report(Router("6", CallPhase::kAnswered, "222"));
  model_.Report(TtyRing("2"));  // the call is answered: the modem's is another
  EXPECT_EQ(model_.calls().size(), 2u);
  model_.Report(Mm("/Call/1", CallPhase::kEnded));
  model_.Report(Router("6", CallPhase::kEnded));
  EXPECT_EQ(reactions_.said, (Said{"quiet ?", "put back", "quiet 222"}));
  clock_.Advance(10000);
  EXPECT_EQ(reactions_.said, (Said{"quiet ?", "put back", "quiet 222", "kept: end unknown"}));
}

TEST_F(CallModelTest, AModemCallEndsTenSecondsAfterItsLastRingAndIsNeverPutBack) {
  model_.Report(TtyRing("1"));
  clock_.Advance(5000);
  model_.Report(TtyRing("1"));
  clock_.Advance(9999);
  EXPECT_TRUE(model_.quiet());
  clock_.Advance(1);
  EXPECT_EQ(reactions_.said, (Said{"quiet ?", "kept: end unknown"}));

  // Inside another source's call: that call's end waits for the modem's,
  // and the music stays quiet.
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  model_.Report(Mm("/Call/1", CallPhase::kAnswered));
  model_.Report(TtyRing("2"));
  clock_.Advance(2000);
  model_.Report(Mm("/Call/1", CallPhase::kEnded));
  EXPECT_TRUE(model_.quiet());
  clock_.Advance(8000);
  EXPECT_EQ(reactions_.said,
            (Said{"quiet ?", "kept: end unknown", "quiet 111", "kept: end unknown"}));
}

TEST_F(CallModelTest, ACallWhoseSourceLosesItsEndEndsLikeAModemsAndIsNotPutBack) {
  // A SIP phone's call that another phone takes: ringing with a known end,
  // then answered with none.
  model_.Report(Router("1", CallPhase::kRinging, "111"));
  CallReport taken = Router("1", CallPhase::kAnswered);
  taken.endKnown = false;
  model_.Report(taken);
  clock_.Advance(9999);
  EXPECT_TRUE(model_.quiet());
  clock_.Advance(1);
  EXPECT_EQ(reactions_.said, (Said{"quiet 111", "kept: end unknown"}));
}

TEST_F(CallModelTest, FurtherReportsOfACallNeverQuietAgainWhatTheUserChanged) {
  // The user turns the music back up while the phone still rings: no ring,
  // answer or second source of the same call quiets it again. Which player
  // the user changed is the reaction's to judge at put back.
  model_.Report(Mm("/Call/1", CallPhase::kRinging));
  model_.Report(Mm("/Call/1", CallPhase::kRinging));
  model_.Report(Router("3", CallPhase::kRinging));
  model_.Report(Mm("/Call/1", CallPhase::kAnswered));
  model_.Report(Router("3", CallPhase::kAnswered));
  model_.Report(Mm("/Call/1", CallPhase::kEnded));
  model_.Report(Router("3", CallPhase::kEnded));
  EXPECT_EQ(reactions_.said, (Said{"quiet ?", "put back"}));
}

TEST_F(CallModelTest, RestoreOffKeepsTheMusicQuietAndTheNextCallQuietsAgain) {
  settings_.restore = false;
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  model_.Report(Mm("/Call/1", CallPhase::kEnded));
  model_.Report(Mm("/Call/2", CallPhase::kRinging, "222"));
  EXPECT_EQ(reactions_.said, (Said{"quiet 111", "kept: Restore=0", "quiet 222"}));
}

TEST_F(CallModelTest, OutgoingOnQuietsACallTheUserMakesUntilItsEnd) {
  settings_.outgoing = true;
  model_.Report(Dialled("1", CallPhase::kRinging));
  EXPECT_TRUE(model_.quiet());
  model_.Report(Dialled("1", CallPhase::kAnswered));
  model_.Report(Dialled("1", CallPhase::kEnded));
  // One seen first when it is answered still quiets; an end alone does not.
  model_.Report(Dialled("2", CallPhase::kEnded));
  model_.Report(Dialled("3", CallPhase::kAnswered));
  model_.Report(Dialled("3", CallPhase::kEnded));
  EXPECT_EQ(reactions_.said, (Said{"quiet 333", "put back", "quiet 333", "put back"}));
  // Read as each call begins: turned off, the next call made quiets nothing.
  settings_.outgoing = false;
  model_.Report(Dialled("4", CallPhase::kRinging));
  EXPECT_FALSE(model_.quiet());
}

TEST_F(CallModelTest, AStoppedSourceTakesItsCallsAndTheirEndIsUnknown) {
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  model_.Forget("modemmanager");
  EXPECT_TRUE(model_.calls().empty());
  // Its ids are new calls when it comes back.
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  EXPECT_EQ(reactions_.said, (Said{"quiet 111", "kept: end unknown", "quiet 111"}));
}

TEST_F(CallModelTest, ACallerLearntLaterIsToldOnceForTheCallItBelongsTo) {
  // The modem's caller ID after its first ring, then the router that knows
  // the number: each is news once. A call that begins knowing it is not.
  model_.Report(TtyRing("1"));
  CallReport id = TtyRing("1");
  id.name = CallerDetail::Known("JOHN DOE");
  model_.Report(id);
  model_.Report(id);
  model_.Report(Router("9", CallPhase::kRinging, "0301234"));
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  EXPECT_EQ(reactions_.said, (Said{"quiet ?"}));
  EXPECT_EQ(reactions_.learnt, (Said{"1:  JOHN DOE", "1: 0301234 JOHN DOE"}));
}

TEST_F(CallModelTest, TheSettledHandlerSeesEachChangeAndTheUnendedCallsEnd) {
  std::vector<std::size_t> seen;
  model_.SetOnSettled([&] { seen.push_back(model_.calls().size()); });
  model_.Report(Mm("/Call/1", CallPhase::kRinging, "111"));
  model_.Report(Router("7", CallPhase::kRinging, "222"));
  model_.Report(Router("8", CallPhase::kEnded));  // never heard: nothing to settle
  model_.Forget("router");
  model_.Report(Mm("/Call/1", CallPhase::kEnded));
  EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2, 1, 0}));
  // A modem's call ends on the clock alone: said too.
  model_.Report(TtyRing("COM1"));
  clock_.Advance(kUnendedCallMs);
  EXPECT_EQ(seen, (std::vector<std::size_t>{1, 2, 1, 0, 1, 0}));
}

}  // namespace
}  // namespace hushcall::ringwatch
