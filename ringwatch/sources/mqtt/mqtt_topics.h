// Where Hushcall's machines meet on the broker: under the prefix MqttTopic
// names, one level per machine, and below it
//   <prefix>/<host>/call          each change of each call, as JSON
//   <prefix>/<host>/state         idle, ringing or talking, retained
//   <prefix>/<host>/availability  online, or offline as the broker's will
// A machine is its host name made fit for one topic level.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace hushcall::ringwatch {

// The longest host level: a DNS label's length.
inline constexpr std::size_t kMaxTopicLevel = 63;

// `host` as one topic level: letters, digits, '-', '_' and '.' kept, every
// other byte '_', cut to kMaxTopicLevel; "unnamed" for nothing.
std::string TopicLevel(std::string_view host);

// Whether `level` is one that TopicLevel makes.
bool IsTopicLevel(std::string_view level);

struct MqttTopics {
  std::string prefix;  // MqttTopic, such as "hushcall"
  std::string host;    // this machine's level

  std::string Call() const { return prefix + "/" + host + "/call"; }
  std::string State() const { return prefix + "/" + host + "/state"; }
  std::string Availability() const { return prefix + "/" + host + "/availability"; }
  // Every machine's, for the subscription.
  std::string AllCalls() const { return prefix + "/+/call"; }
  std::string AllStates() const { return prefix + "/+/state"; }
  std::string AllAvailabilities() const { return prefix + "/+/availability"; }

  // The machine level of `topic` when it is <prefix>/<level>/<leaf>.
  std::optional<std::string> OriginOf(std::string_view topic, std::string_view leaf) const;
};

}  // namespace hushcall::ringwatch
