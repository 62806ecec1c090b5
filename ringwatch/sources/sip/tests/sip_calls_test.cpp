// The SIP source's decisions on fake time, against a stack that the test
// speaks for: registrations that come, go and are refused, calls missed and
// taken elsewhere, and strangers knocking.
#include "ringwatch/sources/sip/sip_calls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ringwatch/calls/tests/fake_call_clock.h"
#include "ringwatch/posix/tests/line_log.h"
#include "tests/support/fake_message_boxes.h"

namespace hushcall::ringwatch {
namespace {

class FakeStack final : public SipStack {
 public:
  explicit FakeStack(int& registers, bool& gone) : registers_(registers), gone_(gone) {}
  ~FakeStack() override { gone_ = true; }
  void Register() override { ++registers_; }

 private:
  int& registers_;
  bool& gone_;
};

SipEvent Event(SipEvent::Kind kind, std::string callId = "", std::string why = "") {
  SipEvent event;
  event.kind = kind;
  event.callId = std::move(callId);
  event.why = std::move(why);
  return event;
}

class SipCallsTest : public ::testing::Test {
 protected:
  SipCallsTest() {
    calls_.Start();
  }

  // The reports, as "id phase endKnown".
  std::vector<std::string> Said() const {
    std::vector<std::string> said;
    for (const CallReport& r : reports_) {
      said.push_back(r.id + (r.phase == CallPhase::kRinging    ? " ringing"
                             : r.phase == CallPhase::kAnswered ? " answered"
                                                               : " ended") +
                     (r.endKnown ? "" : " (end unknown)"));
    }
    return said;
  }

  const SipAccount account_{false, "604", "pbx.lan"};
  testing::FakeCallClock clock_;
  testing::CallLog boxLog_;
  testing::FakeMessageBoxes boxes_{boxLog_};
  testing::LineLog log_;
  std::vector<CallReport> reports_;
  int registers_ = 0;
  bool stackGone_ = false;
  SipCalls calls_{[this](std::function<void(const SipEvent&)>) {
                    return std::make_unique<FakeStack>(registers_, stackGone_);
                  },
                  account_, clock_, boxes_, log_,
                  [this](const CallReport& report) { reports_.push_back(report); }};
};

TEST_F(SipCallsTest, RegistrationIsToldWhenItComesOrReturnsAndFailuresBackOff) {
  EXPECT_EQ(registers_, 1);
  SipEvent registered = Event(SipEvent::Kind::kRegistered);
  registered.expiresS = 60;
  calls_.Take(registered);
  calls_.Take(registered);  // a refresh
  EXPECT_EQ(log_.Count("SIP account sip:604@pbx.lan is registered (for 60 s at a time)"), 1u);

  // The registrar goes: 2 s, 4 s, 8 s..., told once, each reason logged once.
  const SipEvent silent = Event(SipEvent::Kind::kRegisterFailed, "", "the registrar did not answer");
  calls_.Take(silent);
  EXPECT_FALSE(calls_.registered());
  clock_.Advance(1999);
  EXPECT_EQ(registers_, 1);
  clock_.Advance(1);
  EXPECT_EQ(registers_, 2);
  calls_.Take(silent);
  clock_.Advance(3999);
  EXPECT_EQ(registers_, 2);
  clock_.Advance(1);
  EXPECT_EQ(registers_, 3);
  calls_.Take(silent);
  EXPECT_EQ(log_.Count("the registrar did not answer; trying again in 2 s"), 1u);
  EXPECT_EQ(log_.Count("the registrar did not answer"), 1u);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text, SipUnregisteredText(account_));

  calls_.Take(registered);
  EXPECT_TRUE(log_.Has("SIP account sip:604@pbx.lan is registered again"));
  // Back at the first wait, and told anew.
  calls_.Take(silent);
  const int before = registers_;
  clock_.Advance(2000);
  EXPECT_EQ(registers_, before + 1);
  EXPECT_EQ(boxes_.shown.size(), 2u);
}

TEST_F(SipCallsTest, AWrongPasswordIsToldOnceAndTriedAgainEveryMinute) {
  for (int i = 0; i < 5; ++i) {
    calls_.Take(Event(SipEvent::Kind::kWrongPassword));
    clock_.Advance(59999);
    EXPECT_EQ(registers_, 1 + i);
    clock_.Advance(1);
    EXPECT_EQ(registers_, 2 + i);
  }
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0].text,
            "Hushcall could not sign in to SIP account 604@pbx.lan: wrong user or password.");
  EXPECT_EQ(log_.Count("wrong user or password"), 1u);
  // Refused once registered: signed in afresh at once, and not blamed on
  // the password until a fresh sign-in is refused too.
  calls_.Take(Event(SipEvent::Kind::kRegistered));
  const int before = registers_;
  calls_.Take(Event(SipEvent::Kind::kWrongPassword));
  clock_.Advance(2000);
  EXPECT_EQ(registers_, before + 1);
  EXPECT_EQ(boxes_.shown.size(), 1u);
  calls_.Take(Event(SipEvent::Kind::kWrongPassword));
  EXPECT_EQ(boxes_.shown.size(), 2u);
}

TEST_F(SipCallsTest, ACallRingsUntilItsCancelAndOneTakenElsewhereHasNoKnownEnd) {
  SipEvent ring = Event(SipEvent::Kind::kRinging, "a@pbx");
  ring.number = CallerDetail::Known("+4930123");
  ring.name = CallerDetail::Known("Ann");
  ring.line = "604";
  calls_.Take(ring);
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0].source, "sip");
  EXPECT_EQ(reports_[0].direction, CallDirection::kIncoming);
  EXPECT_EQ(reports_[0].number, CallerDetail::Known("+4930123"));
  EXPECT_EQ(reports_[0].name, CallerDetail::Known("Ann"));
  EXPECT_EQ(reports_[0].line, "604");
  calls_.Take(Event(SipEvent::Kind::kCancelled, "a@pbx"));

  for (const char* id : {"b@pbx", "c@pbx"}) {
    calls_.Take(Event(SipEvent::Kind::kRinging, id));
    SipEvent taken = Event(SipEvent::Kind::kCancelled, id);
    taken.answeredElsewhere = true;
    calls_.Take(taken);
  }
  calls_.Take(Event(SipEvent::Kind::kRinging, "d@pbx"));
  calls_.Take(Event(SipEvent::Kind::kRingingOver, "d@pbx"));
  EXPECT_EQ(Said(), (std::vector<std::string>{
                        "a@pbx ringing", "a@pbx ended", "b@pbx ringing",
                        "b@pbx answered (end unknown)", "c@pbx ringing",
                        "c@pbx answered (end unknown)", "d@pbx ringing", "d@pbx ended"}));
  EXPECT_TRUE(log_.Has("SIP: call a@pbx was missed"));
  EXPECT_EQ(log_.Count("was taken by another phone"), 2u);
  EXPECT_EQ(log_.Count("its end is not known"), 1u);
}

TEST_F(SipCallsTest, WithDialogEventsACallTakenElsewhereEndsWithItsDialog) {
  SipEvent heard = Event(SipEvent::Kind::kDialogEvents);
  heard.heard = true;
  calls_.Take(heard);
  SipEvent taken = Event(SipEvent::Kind::kCancelled, "a@pbx");
  taken.answeredElsewhere = true;
  calls_.Take(Event(SipEvent::Kind::kRinging, "a@pbx"));
  calls_.Take(taken);
  calls_.Take(Event(SipEvent::Kind::kDialogEnded, "other@pbx"));  // not one of ours
  calls_.Take(Event(SipEvent::Kind::kDialogEnded, "a@pbx"));
  calls_.Take(Event(SipEvent::Kind::kDialogEnded, "a@pbx"));  // said again: once is enough
  // The events stop: a call taken meanwhile has no known end after all.
  taken.callId = "b@pbx";
  calls_.Take(Event(SipEvent::Kind::kRinging, "b@pbx"));
  calls_.Take(taken);
  SipEvent gone = Event(SipEvent::Kind::kDialogEvents, "", "the phone system answered 489 Bad Event");
  calls_.Take(gone);
  calls_.Take(gone);  // asked again at a refresh, and refused again
  EXPECT_EQ(Said(), (std::vector<std::string>{"a@pbx ringing", "a@pbx answered", "a@pbx ended",
                                              "b@pbx ringing", "b@pbx answered",
                                              "b@pbx answered (end unknown)"}));
  EXPECT_EQ(log_.Count("no dialog events for the account (the phone system answered 489"), 1u);
}

TEST_F(SipCallsTest, StrangersAndStackWarningsAreBoundedAndTheStackGoesWithTheSource) {
  calls_.Take(Event(SipEvent::Kind::kRefused, "", "192.168.1.66"));
  for (int i = 0; i < 30; ++i) {
    clock_.Advance(1000);
    calls_.Take(Event(SipEvent::Kind::kRefused, "", "192.168.1.67"));
  }
  EXPECT_EQ(log_.Count("SIP: refused"), 1u);
  clock_.Advance(30000);
  calls_.Take(Event(SipEvent::Kind::kRefused, "", "192.168.1.68"));
  EXPECT_EQ(log_.Count("SIP: refused"), 2u);
  EXPECT_TRUE(log_.Has("SIP: refused 31 requests from elsewhere than the registrar (403), the "
                       "last from 192.168.1.68"));
  // libre's own warnings may come as fast as packets do.
  calls_.Take(Event(SipEvent::Kind::kStackWarning, "", "tls: connect: error (r=-1, ud=1)"));
  calls_.Take(Event(SipEvent::Kind::kStackWarning, "", "tls: connect: error (r=-1, ud=2)"));
  clock_.Advance(60000);
  calls_.Take(Event(SipEvent::Kind::kStackWarning, "", "sip: late"));
  EXPECT_EQ(log_.Count("SIP stack: "), 2u);
  EXPECT_TRUE(log_.Has("SIP stack: tls: connect: error (r=-1, ud=1)"));
  EXPECT_TRUE(log_.Has("SIP stack: 2 warnings, the last: sip: late"));
  EXPECT_TRUE(reports_.empty());
  EXPECT_TRUE(boxes_.shown.empty());

  // Its own source, so that the fixture's outlives it.
  testing::FakeCallClock clock;
  int registers = 0;
  bool gone = false;
  {
    SipCalls source([&](std::function<void(const SipEvent&)>) {
      return std::make_unique<FakeStack>(registers, gone);
    }, account_, clock, boxes_, log_, nullptr);
    source.Start();
    EXPECT_FALSE(gone);
  }
  EXPECT_TRUE(gone);
}

}  // namespace
}  // namespace hushcall::ringwatch
