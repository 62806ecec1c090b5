// This machine's calls on the broker: each change of each call it hears
// itself as one message on <prefix>/<host>/call (QoS 1, not retained), with
// the caller known so far even when the change itself does not carry it;
// a call that the model ends without its source's word (a modem's, timed
// out after its last ring; a source stopped) ends there too. The line's
// state goes on <prefix>/<host>/state (retained) when it changes, with
// Home Assistant's configs (cleared without MqttDiscovery); the state and
// configs again on each connect. Calls heard only through the broker are
// other machines' to publish, never ours: no message goes round in circles.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_model.h"
#include "ringwatch/calls/call_report.h"
#include "ringwatch/core/dropped_tally.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/sources/mqtt/line_state.h"
#include "ringwatch/sources/mqtt/mqtt_topics.h"
#include "settings/settings_file.h"

namespace hushcall::ringwatch {

class CallPublisher {
 public:
  // False when the message could not be handed to the broker.
  using Publish =
      std::function<bool(const std::string& topic, std::string_view payload, int qos, bool retain)>;
  // The wall clock's seconds since the epoch, for the messages' time.
  using Now = std::function<std::int64_t()>;

  CallPublisher(const MqttSettings& settings, MqttTopics topics, Publish publish, Now now,
                Log& log);

  // Connected (again): what the broker must hold.
  void Connected();
  // A report from any source: ours are published.
  void Heard(const CallReport& report);
  // The call model has settled: the line's state, when it changed.
  void Settled(const std::vector<Call>& calls);

  LineState state() const { return state_; }

 private:
  void Send(const std::string& topic, std::string_view payload, int qos, bool retain);

  const MqttSettings settings_;
  const MqttTopics topics_;
  Publish publish_;
  Now now_;
  Log& log_;
  LineState state_ = LineState::kIdle;
  DroppedTally unsent_;
  // What was said last of each of our latest calls not yet ended: its
  // caller, since a modem's rings after its caller ID carry none and a
  // message must not unsay it ("Last caller"); and the rest, for its end.
  struct Said {
    std::string call;  // source/id
    CallReport report;
  };
  void SendCall(const CallReport& report);
  std::deque<Said> said_;
};

}  // namespace hushcall::ringwatch
