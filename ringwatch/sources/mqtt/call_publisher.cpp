#include "ringwatch/sources/mqtt/call_publisher.h"

#include <utility>

#include "ringwatch/sources/mqtt/call_message.h"
#include "ringwatch/sources/mqtt/discovery_config.h"
#include "ringwatch/sources/mqtt/remote_calls.h"

namespace hushcall::ringwatch {
namespace {

// Messages not handed to the broker are said at most this often.
constexpr std::int64_t kUnsentLogMs = 60000;
constexpr int kAtLeastOnce = 1;

bool Mine(std::string_view source) { return !IsRemoteSource(source); }

}  // namespace

CallPublisher::CallPublisher(const MqttSettings& settings, MqttTopics topics, Publish publish,
                             Now now, Log& log)
    : settings_(settings),
      topics_(std::move(topics)),
      publish_(std::move(publish)),
      now_(std::move(now)),
      log_(log),
      unsent_(kUnsentLogMs) {}

void CallPublisher::Connected() {
  // Without discovery the configs are cleared: an empty retained message
  // is how Home Assistant is told that the entities are gone.
  for (const RetainedMessage& config : DiscoveryConfigs(topics_)) {
    Send(config.topic, settings_.discovery ? config.payload : std::string(), kAtLeastOnce, true);
  }
  Send(topics_.State(), LineStateText(state_), kAtLeastOnce, true);
}

void CallPublisher::Heard(const CallReport& report) {
  if (!Mine(report.source)) return;
  CallMessage message;
  message.origin = topics_.host;
  message.report = report;
  message.time = UtcTimeText(now_());
  Send(topics_.Call(), EncodeCallMessage(message, settings_.callerId), kAtLeastOnce, false);
}

void CallPublisher::Settled(const std::vector<Call>& calls) {
  const LineState state = LineStateOf(calls, Mine);
  if (state == state_) return;
  state_ = state;
  Send(topics_.State(), LineStateText(state_), kAtLeastOnce, true);
}

void CallPublisher::Send(const std::string& topic, std::string_view payload, int qos,
                         bool retain) {
  if (publish_ && publish_(topic, payload, qos, retain)) return;
  // Seconds are enough for a log line's pace.
  if (const std::size_t unsent = unsent_.Drop(now_() * 1000)) {
    log_.Line("MQTT: not connected to the broker; " +
              (unsent == 1 ? std::string("a message") : std::to_string(unsent) + " messages") +
              " not shared (one on " + topic + ")");
  }
}

}  // namespace hushcall::ringwatch
