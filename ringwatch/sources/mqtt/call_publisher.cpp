#include "ringwatch/sources/mqtt/call_publisher.h"

#include <algorithm>
#include <utility>

#include "ringwatch/sources/mqtt/call_message.h"
#include "ringwatch/sources/mqtt/discovery_config.h"
#include "ringwatch/sources/mqtt/remote_calls.h"

namespace hushcall::ringwatch {
namespace {

// Messages not handed to the broker are said at most this often.
constexpr std::int64_t kUnsentLogMs = 60000;
constexpr int kAtLeastOnce = 1;
// Calls whose caller is kept: more than ring at once on any household line.
constexpr std::size_t kCallersKept = 8;

// Fills what `report` does not know from `known`, and keeps what it does.
void Complete(CallerDetail& reported, CallerDetail& known) {
  if (reported.kind == CallerDetail::Kind::kUnknown) {
    reported = known;
  } else {
    known = reported;
  }
}

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
  const std::string call = report.source + "/" + report.id;
  auto known = std::find_if(callers_.begin(), callers_.end(),
                            [&](const KnownCaller& c) { return c.call == call; });
  if (known == callers_.end()) {
    if (callers_.size() == kCallersKept) callers_.pop_front();
    known = callers_.insert(callers_.end(), KnownCaller{call, {}, {}});
  }
  Complete(message.report.number, known->number);
  Complete(message.report.name, known->name);
  if (report.phase == CallPhase::kEnded) callers_.erase(known);
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
