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
// Calls followed: more than ring at once on any household line.
constexpr std::size_t kCallsKept = 8;

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
  const std::string call = report.source + "/" + report.id;
  auto said = std::find_if(said_.begin(), said_.end(), [&](const Said& s) { return s.call == call; });
  if (said == said_.end()) {
    if (said_.size() == kCallsKept) said_.pop_front();
    said = said_.insert(said_.end(), Said{call, {}});
  }
  CallReport completed = report;
  Complete(completed.number, said->report.number);
  Complete(completed.name, said->report.name);
  if (report.phase == CallPhase::kEnded) {
    said_.erase(said);
  } else {
    said->report = completed;
  }
  SendCall(completed);
}

void CallPublisher::Settled(const std::vector<Call>& calls) {
  // Ours that the model no longer holds ended there, unreported.
  auto held = [&](const Said& said) {
    return std::any_of(calls.begin(), calls.end(), [&](const Call& c) {
      return std::any_of(c.legs.begin(), c.legs.end(), [&](const CallLeg& leg) {
        return leg.source == said.report.source && leg.id == said.report.id;
      });
    });
  };
  for (auto it = said_.begin(); it != said_.end();) {
    if (held(*it)) {
      ++it;
      continue;
    }
    CallReport ended = it->report;
    ended.phase = CallPhase::kEnded;
    it = said_.erase(it);
    SendCall(ended);
  }
  const LineState state = LineStateOf(calls, Mine);
  if (state == state_) return;
  state_ = state;
  Send(topics_.State(), LineStateText(state_), kAtLeastOnce, true);
}

void CallPublisher::SendCall(const CallReport& report) {
  CallMessage message;
  message.origin = topics_.host;
  message.report = report;
  message.time = UtcTimeText(now_());
  Send(topics_.Call(), EncodeCallMessage(message, settings_.callerId), kAtLeastOnce, false);
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
