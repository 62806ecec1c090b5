// Topics: a host name made one level, and the machine read back from a topic.
#include "ringwatch/sources/mqtt/mqtt_topics.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace hushcall::ringwatch
