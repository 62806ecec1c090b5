// What a machine's topics are named and hold beside its calls: a host name
// made one level, the machine read back from a topic, the line's state, and
// Home Assistant's configs.
#include "ringwatch/sources/mqtt/mqtt_topics.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ringwatch/sources/mqtt/discovery_config.h"
#include "ringwatch/sources/mqtt/line_state.h"

namespace hushcall::ringwatch {
namespace {

TEST(TopicLevel, KeepsAHostNameAndReplacesWhatWouldSplitOrMatchTopics) {
  EXPECT_EQ(TopicLevel("desk-01.lan"), "desk-01.lan");
  EXPECT_EQ(TopicLevel("a/b+c#d e"), "a_b_c_d_e");
  EXPECT_EQ(TopicLevel(std::string("x\0y", 3)), "x_y");
  EXPECT_EQ(TopicLevel("K\xc3\xbc" "che"), "K__che");
  EXPECT_EQ(TopicLevel(""), "unnamed");
  EXPECT_EQ(TopicLevel(std::string(100, 'h')), std::string(kMaxTopicLevel, 'h'));
  for (const char* host : {"desk", "a/b", "", "x y"}) EXPECT_TRUE(IsTopicLevel(TopicLevel(host)));
  EXPECT_FALSE(IsTopicLevel("a/b"));
  EXPECT_FALSE(IsTopicLevel("+"));
  EXPECT_FALSE(IsTopicLevel(""));
  EXPECT_FALSE(IsTopicLevel(std::string(kMaxTopicLevel + 1, 'h')));
}

TEST(MqttTopics, NamesThisMachinesTopicsAndEveryMachinesFilters) {
  const MqttTopics topics{"home/phone", "desk"};
  EXPECT_EQ(topics.Call(), "home/phone/desk/call");
  EXPECT_EQ(topics.State(), "home/phone/desk/state");
  EXPECT_EQ(topics.Availability(), "home/phone/desk/availability");
  EXPECT_EQ(topics.AllCalls(), "home/phone/+/call");
  EXPECT_EQ(topics.AllStates(), "home/phone/+/state");
}

TEST(MqttTopics, OriginIsTheOneLevelBetweenPrefixAndLeaf) {
  const MqttTopics topics{"hushcall", "desk"};
  EXPECT_EQ(topics.OriginOf("hushcall/lap/call", "call"), "lap");
  EXPECT_EQ(topics.OriginOf("hushcall/lap/state", "state"), "lap");
  EXPECT_EQ(topics.OriginOf("hushcall/lap/state", "call"), std::nullopt);
  EXPECT_EQ(topics.OriginOf("hushcall/a/b/call", "call"), std::nullopt);
  EXPECT_EQ(topics.OriginOf("hushcall//call", "call"), std::nullopt);
  EXPECT_EQ(topics.OriginOf("hushcall/call", "call"), std::nullopt);
  EXPECT_EQ(topics.OriginOf("hushcallx/lap/call", "call"), std::nullopt);
  EXPECT_EQ(topics.OriginOf("other/lap/call", "call"), std::nullopt);
  EXPECT_EQ(topics.OriginOf("hushcall/lapcall", "call"), std::nullopt);
}

TEST(LineState, ItsThreeWordsBothWaysAndNothingElse) {
  for (const LineState state : {LineState::kIdle, LineState::kRinging, LineState::kTalking}) {
    EXPECT_EQ(ParseLineState(LineStateText(state)), state);
  }
  EXPECT_EQ(LineStateText(LineState::kTalking), "talking");
  EXPECT_FALSE(ParseLineState("Idle"));
  EXPECT_FALSE(ParseLineState("idle\n"));
  EXPECT_FALSE(ParseLineState(""));
}

Call CallOf(std::vector<std::string> sources, CallPhase phase,
            CallDirection direction = CallDirection::kIncoming) {
  Call call;
  call.phase = phase;
  call.direction = direction;
  for (std::string& source : sources) call.legs.push_back(CallLeg{std::move(source), "1"});
  return call;
}

bool Mine(std::string_view source) { return !source.starts_with("mqtt/"); }

TEST(LineState, OurCallsMakeItAndCallsHeardOnlyThroughTheBrokerDoNot) {
  EXPECT_EQ(LineStateOf({}, Mine), LineState::kIdle);
  EXPECT_EQ(LineStateOf({CallOf({"mqtt/lap"}, CallPhase::kAnswered)}, Mine), LineState::kIdle);
  EXPECT_EQ(LineStateOf({CallOf({"tty"}, CallPhase::kRinging)}, Mine), LineState::kRinging);
  // Heard here too: ours to tell.
  EXPECT_EQ(LineStateOf({CallOf({"mqtt/lap", "callmonitor"}, CallPhase::kRinging)}, Mine),
            LineState::kRinging);
  EXPECT_EQ(LineStateOf({CallOf({"callmonitor"}, CallPhase::kRinging),
                         CallOf({"modemmanager"}, CallPhase::kAnswered)},
                        Mine),
            LineState::kTalking);
  // A call being made is the line in use, not a ring.
  EXPECT_EQ(LineStateOf({CallOf({"callmonitor"}, CallPhase::kRinging, CallDirection::kOutgoing)},
                        Mine),
            LineState::kTalking);
}

TEST(DiscoveryConfigs, ABinarySensorOnTheStateAndASensorOnTheCallsOfOneDevice) {
  const std::vector<RetainedMessage> configs = DiscoveryConfigs({"home/phone", "desk.lan"});
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(configs[0].topic, "homeassistant/binary_sensor/hushcall_desk_lan/ringing/config");
  EXPECT_EQ(configs[1].topic, "homeassistant/sensor/hushcall_desk_lan/last_caller/config");
  const nlohmann::json ringing = nlohmann::json::parse(configs[0].payload);
  EXPECT_EQ(ringing["name"], "Phone ringing");
  EXPECT_EQ(ringing["unique_id"], "hushcall_desk_lan_ringing");
  EXPECT_EQ(ringing["state_topic"], "home/phone/desk.lan/state");
  EXPECT_EQ(ringing["availability_topic"], "home/phone/desk.lan/availability");
  EXPECT_EQ(ringing["device"]["identifiers"], nlohmann::json::array({"hushcall_desk_lan"}));
  const nlohmann::json caller = nlohmann::json::parse(configs[1].payload);
  EXPECT_EQ(caller["name"], "Last caller");
  EXPECT_EQ(caller["state_topic"], "home/phone/desk.lan/call");
  EXPECT_EQ(caller["device"], ringing["device"]);
  EXPECT_NE(caller["unique_id"], ringing["unique_id"]);
}

}  // namespace
}  // namespace hushcall::ringwatch
