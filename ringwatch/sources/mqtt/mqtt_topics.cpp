#include "ringwatch/sources/mqtt/mqtt_topics.h"

namespace hushcall::ringwatch {
namespace {

bool Kept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

}  // namespace

std::string TopicLevel(std::string_view host) {
  if (host.empty()) return "unnamed";
  std::string level(host.substr(0, kMaxTopicLevel));
  for (char& c : level) {
    if (!Kept(c)) c = '_';
  }
  return level;
}

bool IsTopicLevel(std::string_view level) {
  if (level.empty() || level.size() > kMaxTopicLevel) return false;
  for (char c : level) {
    if (!Kept(c)) return false;
  }
  return true;
}

std::optional<std::string> MqttTopics::OriginOf(std::string_view topic,
                                                std::string_view leaf) const {
  if (!topic.starts_with(prefix) || topic.size() <= prefix.size() || topic[prefix.size()] != '/')
    return std::nullopt;
  topic.remove_prefix(prefix.size() + 1);
  if (!topic.ends_with(leaf) || topic.size() <= leaf.size()) return std::nullopt;
  topic.remove_suffix(leaf.size());
  if (topic.back() != '/') return std::nullopt;
  topic.remove_suffix(1);
  if (!IsTopicLevel(topic)) return std::nullopt;
  return std::string(topic);
}

}  // namespace hushcall::ringwatch
