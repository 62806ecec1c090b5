// Home Assistant's discovery configs: where they go and what they point at.
#include "ringwatch/sources/mqtt/discovery_config.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace hushcall::ringwatch {
namespace {

using nlohmann::json;

TEST(DiscoveryConfigs, ABinarySensorOnTheStateAndASensorOnTheCallsOfOneDevice) {
  const std::vector<RetainedMessage> configs = DiscoveryConfigs({"home/phone", "desk.lan"});
  ASSERT_EQ(configs.size(), 2u);
  EXPECT_EQ(configs[0].topic, "homeassistant/binary_sensor/hushcall_desk_lan/ringing/config");
  EXPECT_EQ(configs[1].topic, "homeassistant/sensor/hushcall_desk_lan/last_caller/config");
  const json ringing = json::parse(configs[0].payload);
  EXPECT_EQ(ringing["name"], "Phone ringing");
  EXPECT_EQ(ringing["unique_id"], "hushcall_desk_lan_ringing");
  EXPECT_EQ(ringing["state_topic"], "home/phone/desk.lan/state");
  EXPECT_EQ(ringing["availability_topic"], "home/phone/desk.lan/availability");
  EXPECT_EQ(ringing["device"]["identifiers"], json::array({"hushcall_desk_lan"}));
  const json caller = json::parse(configs[1].payload);
  EXPECT_EQ(caller["name"], "Last caller");
  EXPECT_EQ(caller["state_topic"], "home/phone/desk.lan/call");
  EXPECT_EQ(caller["device"], ringing["device"]);
  EXPECT_NE(caller["unique_id"], ringing["unique_id"]);
}

}  // namespace
}  // namespace hushcall::ringwatch
