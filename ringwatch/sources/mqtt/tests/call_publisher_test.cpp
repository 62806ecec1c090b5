// What this machine publishes: its own calls' changes, the line's state when
// it changes, the configs and state again on each connect; never a call
// heard through the broker.
#include "ringwatch/sources/mqtt/call_publisher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ringwatch/posix/tests/line_log.h"
#include "ringwatch/sources/mqtt/call_message.h"

namespace hushcall::ringwatch {
namespace {

using Lines = hushcall::testing::LineLog;

struct Sent {
  std::string topic;
  std::string payload;
  int qos;
  bool retain;
};

class CallPublisherTest : public ::testing::Test {
 protected:
  CallPublisher Make(bool discovery, bool callerId) {
    MqttSettings settings;
    settings.discovery = discovery;
    settings.callerId = callerId;
    return CallPublisher(
        settings, MqttTopics{"hushcall", "desk"},
        [this](const std::string& topic, std::string_view payload, int qos, bool retain) {
          if (!connected_) return false;
          sent_.push_back({topic, std::string(payload), qos, retain});
          return true;
        },
        [] { return std::int64_t{1796911500}; }, log_);
  }
  std::vector<std::string> Topics() const {
    std::vector<std::string> topics;
    for (const Sent& s : sent_) topics.push_back(s.topic);
    return topics;
  }

  bool connected_ = true;
  std::vector<Sent> sent_;
  Lines log_;
};

CallReport Ring(std::string_view source) {
  return CallReport{.source = std::string(source),
                    .id = "3",
                    .number = CallerDetail::Known("+491701234567"),
                    .name = {},
                    .line = "SIP0"};
}

Call CallOf(std::string source, CallPhase phase) {
  Call call;
  call.phase = phase;
  call.legs.push_back(CallLeg{std::move(source), "3"});
  return call;
}

TEST_F(CallPublisherTest, OnConnectTheConfigsOrTheirClearingAndTheStateRetained) {
  CallPublisher publisher = Make(true, false);
  publisher.Connected();
  EXPECT_EQ(Topics(), (std::vector<std::string>{
                          "homeassistant/binary_sensor/hushcall_desk/ringing/config",
                          "homeassistant/sensor/hushcall_desk/last_caller/config",
                          "hushcall/desk/state"}));
  for (const Sent& s : sent_) EXPECT_TRUE(s.retain) << s.topic;
  EXPECT_EQ(sent_.back().payload, "idle");
  const std::vector<std::string> topics = Topics();
  sent_.clear();
  // Discovery off: the same topics, emptied, so that the entities go.
  Make(false, false).Connected();
  EXPECT_EQ(Topics(), topics);
  EXPECT_EQ(sent_[0].payload, "");
  EXPECT_EQ(sent_[1].payload, "");
  EXPECT_TRUE(sent_[1].retain);
}

TEST_F(CallPublisherTest, OurCallsChangesGoOutOnceEachWithTheCallerOnlyWhenAsked) {
  CallPublisher publisher = Make(false, false);
  publisher.Heard(Ring("callmonitor"));
  ASSERT_EQ(sent_.size(), 1u);
  EXPECT_EQ(sent_[0].topic, "hushcall/desk/call");
  EXPECT_EQ(sent_[0].qos, 1);
  EXPECT_FALSE(sent_[0].retain);
  const ParsedCallMessage parsed = ParseCallMessage(sent_[0].payload);
  ASSERT_TRUE(parsed.message) << parsed.error;
  EXPECT_EQ(parsed.message->origin, "desk");
  EXPECT_EQ(parsed.message->time, "2026-12-10T14:05:00Z");
  EXPECT_EQ(parsed.message->report.number, CallerDetail{});
  CallPublisher withCaller = Make(false, true);
  withCaller.Heard(Ring("callmonitor"));
  EXPECT_EQ(ParseCallMessage(sent_.back().payload).message->report.number.text, "+491701234567");
  // A modem's later ring knows no caller: the one it said stays.
  CallReport ring = Ring("callmonitor");
  ring.number = {};
  withCaller.Heard(ring);
  EXPECT_EQ(ParseCallMessage(sent_.back().payload).message->report.number.text, "+491701234567");
  // Another machine's call, heard through the broker: never sent on.
  withCaller.Heard(Ring("mqtt/lap"));
  EXPECT_EQ(sent_.size(), 3u);
}

TEST_F(CallPublisherTest, ACallTheModelEndsUnreportedEndsOnTheBrokerOnceBeforeTheState) {
  CallPublisher publisher = Make(false, true);
  CallReport ring = Ring("tty");
  ring.endKnown = false;
  publisher.Heard(ring);
  publisher.Settled({CallOf("tty", CallPhase::kRinging)});
  // Timed out after its last ring.
  publisher.Settled({});
  publisher.Settled({});
  EXPECT_EQ(Topics(), (std::vector<std::string>{"hushcall/desk/call", "hushcall/desk/state",
                                                "hushcall/desk/call", "hushcall/desk/state"}));
  const ParsedCallMessage ended = ParseCallMessage(sent_[2].payload);
  ASSERT_TRUE(ended.message) << ended.error;
  EXPECT_EQ(ended.message->report.phase, CallPhase::kEnded);
  EXPECT_FALSE(ended.message->report.endKnown);
  EXPECT_EQ(ended.message->report.number.text, "+491701234567");
}

TEST_F(CallPublisherTest, TheStateIsSentRetainedWhenItChangesAndAgainOnConnect) {
  CallPublisher publisher = Make(false, false);
  publisher.Settled({CallOf("tty", CallPhase::kRinging)});
  publisher.Settled({CallOf("tty", CallPhase::kRinging)});
  publisher.Settled({CallOf("tty", CallPhase::kAnswered)});
  publisher.Settled({});
  ASSERT_EQ(sent_.size(), 3u);
  EXPECT_EQ(Topics(), std::vector<std::string>(3, "hushcall/desk/state"));
  EXPECT_EQ(sent_[2].payload, "idle");
  EXPECT_TRUE(sent_[2].retain);
  // Changed while the broker was away: the connect brings it.
  connected_ = false;
  publisher.Settled({CallOf("tty", CallPhase::kRinging)});
  EXPECT_EQ(log_.lines, (std::vector<std::string>{
                            "MQTT: not connected to the broker; a message not shared (one on "
                            "hushcall/desk/state)"}));
  connected_ = true;
  publisher.Connected();
  EXPECT_EQ(sent_.back().payload, "ringing");
}

}  // namespace
}  // namespace hushcall::ringwatch
