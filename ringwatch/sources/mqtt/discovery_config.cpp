#include "ringwatch/sources/mqtt/discovery_config.h"

#include <nlohmann/json.hpp>

namespace hushcall::ringwatch {
namespace {

using nlohmann::json;

constexpr const char* kDiscoveryPrefix = "homeassistant";

// Home Assistant's node and object ids take letters, digits, _ and - only.
std::string NodeId(const std::string& host) {
  std::string id = "hushcall_" + host;
  for (char& c : id) {
    if (c == '.') c = '_';
  }
  return id;
}

json Entity(const MqttTopics& topics, const std::string& node, const char* object,
            const char* name) {
  json entity = json::object();
  entity["name"] = name;
  entity["unique_id"] = node + "_" + object;
  entity["object_id"] = node + "_" + object;
  entity["availability_topic"] = topics.Availability();
  entity["device"] = {{"identifiers", json::array({node})},
                      {"name", "Hushcall " + topics.host},
                      {"manufacturer", "Hushcall"}};
  return entity;
}

}  // namespace

std::vector<RetainedMessage> DiscoveryConfigs(const MqttTopics& topics) {
  const std::string node = NodeId(topics.host);
  json ringing = Entity(topics, node, "ringing", "Phone ringing");
  ringing["state_topic"] = topics.State();
  ringing["value_template"] = "{{ 'ON' if value == 'ringing' else 'OFF' }}";
  ringing["icon"] = "mdi:phone-ring";
  json caller = Entity(topics, node, "last_caller", "Last caller");
  caller["state_topic"] = topics.Call();
  caller["value_template"] =
      "{{ value_json.name | default(value_json.number | default(value_json.number_status | "
      "default('unknown'))) }}";
  caller["icon"] = "mdi:card-account-phone";
  const std::string root = std::string(kDiscoveryPrefix) + "/";
  return {
      {root + "binary_sensor/" + node + "/ringing/config", ringing.dump()},
      {root + "sensor/" + node + "/last_caller/config", caller.dump()},
  };
}

}  // namespace hushcall::ringwatch
