// Other machines' calls from the broker's messages, on fake time: what the
// call model is told, what is dropped, and calls given up when their news
// stops; and with the real call model, a call quieting the music here.
#include "ringwatch/sources/mqtt/remote_calls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ringwatch/calls/call_model.h"
#include "ringwatch/calls/tests/fake_call_clock.h"
#include "ringwatch/posix/tests/line_log.h"
#include "ringwatch/sources/mqtt/call_message.h"

namespace hushcall::ringwatch {
namespace {

using FakeClock = hushcall::testing::FakeCallClock;

using Lines = hushcall::testing::LineLog;

std::string Call(std::string_view origin, std::string_view id, CallPhase phase,
                 std::string_view number = "",
                 CallDirection direction = CallDirection::kIncoming) {
  CallMessage message;
  message.origin = std::string(origin);
  message.report.source = "callmonitor";
  message.report.id = std::string(id);
  message.report.phase = phase;
  message.report.direction = direction;
  if (!number.empty()) message.report.number = CallerDetail::Known(std::string(number));
  return EncodeCallMessage(message, true);
}

std::string Text(const CallReport& r) {
  const char* phase = r.phase == CallPhase::kRinging    ? "ringing"
                      : r.phase == CallPhase::kAnswered ? "answered"
                                                        : "ended";
  return r.source + " " + r.id + " " + phase +
         (r.direction == CallDirection::kOutgoing ? " out" : "");
}

class RemoteCallsTest : public ::testing::Test {
 protected:
  FakeClock clock_;
  Lines log_;
  std::vector<std::string> reports_;
  std::vector<std::string> forgotten_;
  RemoteCalls calls_{clock_, log_, MqttTopics{"hushcall", "desk"},
                     [this](const CallReport& r) { reports_.push_back(Text(r)); },
                     [this](std::string_view source) { forgotten_.emplace_back(source); }};
};

using Texts = std::vector<std::string>;

TEST_F(RemoteCallsTest, AnotherMachinesCallIsReportedUnderItsOriginFromRingToEnd) {
  EXPECT_EQ(calls_.Filters(), (Texts{"hushcall/+/call", "hushcall/+/state",
                                     "hushcall/+/availability"}));
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kRinging), false);
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kAnswered), false);
  EXPECT_EQ(calls_.followed(), 1u);
  // Its direction stays the one it began with.
  calls_.Take("hushcall/lap/call",
              Call("lap", "3", CallPhase::kEnded, "", CallDirection::kOutgoing), false);
  EXPECT_EQ(reports_, (Texts{"mqtt/lap callmonitor/3 ringing", "mqtt/lap callmonitor/3 answered",
                             "mqtt/lap callmonitor/3 ended"}));
  EXPECT_EQ(calls_.followed(), 0u);
  // An end never begun is nobody's.
  calls_.Take("hushcall/lap/call", Call("lap", "4", CallPhase::kEnded), false);
  EXPECT_EQ(reports_.size(), 3u);
  EXPECT_TRUE(IsRemoteSource("mqtt/lap"));
  EXPECT_FALSE(IsRemoteSource("callmonitor"));
}

TEST_F(RemoteCallsTest, OurOwnCallsAndRetainedCallMessagesAreNotTaken) {
  calls_.Take("hushcall/desk/call", Call("desk", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/lap/call", Call("lap", "1", CallPhase::kRinging), true);
  calls_.Take("hushcall/desk/state", "idle", false);
  EXPECT_EQ(reports_, Texts{});
  EXPECT_EQ(log_.lines, Texts{});
}

TEST_F(RemoteCallsTest, BadMessagesAreDroppedAndSaidAtMostOnceAMinute) {
  calls_.Take("hushcall/lap/call", "not json", false);
  ASSERT_EQ(log_.lines.size(), 1u);
  EXPECT_EQ(log_.lines[0],
            "MQTT: dropped 1 message that Hushcall cannot take (one: from lap: not JSON)");
  calls_.Take("hushcall/lap/call", Call("pc", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/lap/call", std::string(1 << 20, '{'), false);
  calls_.Take("hushcall/lap/state", "busy", false);
  calls_.Take("hushcall/lap/availability", "maybe", false);
  calls_.Take("elsewhere/lap/call", Call("lap", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/a/b/call", Call("a", "1", CallPhase::kRinging), false);
  EXPECT_EQ(log_.lines.size(), 1u);
  clock_.Advance(kRemoteBadLogMs);
  calls_.Take("hushcall/lap/call", R"({"origin":"lap"})", false);
  ASSERT_EQ(log_.lines.size(), 2u);
  EXPECT_EQ(log_.lines[1], "MQTT: dropped 7 messages that Hushcall cannot take (one: from lap: "
                           "'source' is missing)");
  EXPECT_EQ(reports_, Texts{});
}

TEST_F(RemoteCallsTest, AnIdleStateEndsThatMachinesCallsAlone) {
  calls_.Take("hushcall/lap/call", Call("lap", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/lap/call", Call("lap", "2", CallPhase::kRinging), false);
  calls_.Take("hushcall/pc/call", Call("pc", "1", CallPhase::kRinging), false);
  reports_.clear();
  calls_.Take("hushcall/lap/state", "ringing", true);
  EXPECT_EQ(reports_, Texts{});
  calls_.Take("hushcall/lap/state", "idle", true);
  EXPECT_EQ(reports_, (Texts{"mqtt/lap callmonitor/1 ended", "mqtt/lap callmonitor/2 ended"}));
  EXPECT_EQ(calls_.followed(), 1u);
}

TEST_F(RemoteCallsTest, ACallWhoseNewsStopsWithTheBrokerIsGivenUpAfterTwoMinutesUnlessNewsComes) {
  calls_.Take("hushcall/lap/call", Call("lap", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/pc/call", Call("pc", "1", CallPhase::kRinging), false);
  calls_.Lost();
  clock_.Advance(60000);
  // Back: pc's retained state says nothing of life, its online does.
  calls_.Take("hushcall/pc/state", "talking", true);
  calls_.Take("hushcall/lap/state", "talking", true);
  calls_.Take("hushcall/pc/availability", "online", true);
  clock_.Advance(kRemoteSilenceMs - 60001);
  EXPECT_EQ(forgotten_, Texts{});
  clock_.Advance(1);
  EXPECT_EQ(forgotten_, Texts{"mqtt/lap"});
  EXPECT_EQ(calls_.followed(), 1u);
  EXPECT_EQ(log_.lines.back(),
            "MQTT: no news of lap's call for 120 s; taken as over, the end unknown");
  clock_.Advance(kRemoteSilenceMs);
  EXPECT_EQ(forgotten_, Texts{"mqtt/lap"});
}

TEST_F(RemoteCallsTest, AMachineOfflineByItsWillHasItsCallsGivenUpUnlessItReturns) {
  calls_.Take("hushcall/lap/call", Call("lap", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/pc/call", Call("pc", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/lap/availability", "offline", false);
  clock_.Advance(30000);
  calls_.Take("hushcall/pc/availability", "offline", false);
  // Its stale retained state is no news.
  calls_.Take("hushcall/lap/state", "ringing", true);
  clock_.Advance(60000);
  calls_.Take("hushcall/pc/availability", "online", false);
  clock_.Advance(30000);
  EXPECT_EQ(forgotten_, Texts{"mqtt/lap"});
  clock_.Advance(kRemoteSilenceMs);
  EXPECT_EQ(forgotten_, Texts{"mqtt/lap"});
  EXPECT_EQ(calls_.followed(), 1u);
}

TEST_F(RemoteCallsTest, AFloodOfCallsIsFollowedOnlyUpToItsBound) {
  for (std::size_t i = 0; i < kMaxRemoteCalls + 5; ++i) {
    calls_.Take("hushcall/lap/call", Call("lap", std::to_string(i), CallPhase::kRinging), false);
  }
  EXPECT_EQ(calls_.followed(), kMaxRemoteCalls);
  EXPECT_EQ(reports_.size(), kMaxRemoteCalls);
  EXPECT_EQ(log_.lines.back(), "MQTT: dropped 1 message that Hushcall cannot take (one: from "
                               "lap: more than 32 calls at once)");
}

TEST_F(RemoteCallsTest, StoppingForgetsEachMachineOnce) {
  calls_.Take("hushcall/lap/call", Call("lap", "1", CallPhase::kRinging), false);
  calls_.Take("hushcall/lap/call", Call("lap", "2", CallPhase::kRinging), false);
  calls_.Take("hushcall/pc/call", Call("pc", "1", CallPhase::kRinging), false);
  calls_.Lost();
  calls_.ForgetAll();
  EXPECT_EQ(forgotten_, (Texts{"mqtt/lap", "mqtt/pc"}));
  clock_.Advance(kRemoteSilenceMs);
  EXPECT_EQ(forgotten_.size(), 2u);
}

class Reactions final : public QuietReactions {
 public:
  void Quiet(const ringwatch::Call&) override { said.push_back("quiet"); }
  void PutBack() override { said.push_back("put back"); }
  void KeptQuiet(KeptQuietBecause) override { said.push_back("kept quiet"); }
  void CallerKnown(const ringwatch::Call&) override { said.push_back("caller known"); }
  std::vector<std::string> said;
};

class WithTheModelTest : public ::testing::Test {
 protected:
  FakeClock modelClock_;
  FakeClock mqttClock_;
  Reactions reactions_;
  ServiceSettings settings_ = DefaultServiceSettings();
  CallModel model_{modelClock_, reactions_, settings_};
  Lines log_;
  RemoteCalls calls_{mqttClock_, log_, MqttTopics{"hushcall", "desk"},
                     [this](const CallReport& r) { model_.Report(r); },
                     [this](std::string_view source) { model_.Forget(source); }};
};

TEST_F(WithTheModelTest, ARingThroughTheBrokerQuietsItsCallerIsToldAndItsEndPutsBack) {
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kRinging), false);
  EXPECT_EQ(reactions_.said, Texts{"quiet"});
  // Its caller learnt after the first ring, as a modem's caller ID comes.
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kRinging, "0301234"), false);
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kAnswered), false);
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kEnded), false);
  EXPECT_EQ(reactions_.said, (Texts{"quiet", "caller known", "put back"}));
  EXPECT_TRUE(model_.calls().empty());
}

TEST_F(WithTheModelTest, ACallGivenUpKeepsTheMusicQuietItsEndUnknown) {
  calls_.Take("hushcall/lap/call", Call("lap", "3", CallPhase::kRinging), false);
  calls_.Lost();
  mqttClock_.Advance(kRemoteSilenceMs);
  EXPECT_EQ(reactions_.said, (Texts{"quiet", "kept quiet"}));
  EXPECT_TRUE(model_.calls().empty());
}

}  // namespace
}  // namespace hushcall::ringwatch
