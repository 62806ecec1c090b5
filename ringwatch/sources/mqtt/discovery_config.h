// Home Assistant's MQTT discovery: retained configs under homeassistant/
// that make each machine a device with a binary sensor "Phone ringing" (its
// state topic) and a sensor "Last caller" (its call topic; the number and
// name only reach it with MqttCallerId=1). Both follow the machine's
// availability.
#pragma once

#include <string>
#include <vector>

#include "ringwatch/sources/mqtt/mqtt_topics.h"

namespace hushcall::ringwatch {

struct RetainedMessage {
  std::string topic;
  std::string payload;
  bool operator==(const RetainedMessage&) const = default;
};

// The machine's configs, one per entity.
std::vector<RetainedMessage> DiscoveryConfigs(const MqttTopics& topics);

}  // namespace hushcall::ringwatch
