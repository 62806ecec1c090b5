// Other machines' calls taken from the broker's messages, and given up when
// their news stops.
#include "ringwatch/sources/mqtt/remote_calls.h"

#include <algorithm>
#include <utility>

#include "ringwatch/sources/mqtt/call_message.h"
#include "ringwatch/sources/mqtt/line_state.h"

namespace hushcall::ringwatch {
namespace {

constexpr std::string_view kCallLeaf = "call";
constexpr std::string_view kStateLeaf = "state";
constexpr std::string_view kAvailabilityLeaf = "availability";

std::string SourceOf(const std::string& origin) { return std::string(kMqttSourcePrefix) + origin; }

std::string Messages(std::size_t n) {
  return n == 1 ? "1 message" : std::to_string(n) + " messages";
}

}  // namespace

bool IsRemoteSource(std::string_view source) { return source.starts_with(kMqttSourcePrefix); }

RemoteCalls::RemoteCalls(CallClock& clock, Log& log, MqttTopics topics, Report report,
                         Forget forget, std::int64_t silenceMs)
    : clock_(clock),
      log_(log),
      topics_(std::move(topics)),
      silenceMs_(silenceMs),
      report_(std::move(report)),
      forget_(std::move(forget)) {
  clock_.SetOnWake([this] { OnWake(); });
}

RemoteCalls::~RemoteCalls() {
  clock_.SetOnWake(nullptr);
  try {
    clock_.CancelWake();
  } catch (...) {
    // The handler is gone already: a wake that still comes finds nothing.
  }
}

std::vector<std::string> RemoteCalls::Filters() const {
  return {topics_.AllCalls(), topics_.AllStates(), topics_.AllAvailabilities()};
}

void RemoteCalls::Take(std::string_view topic, std::string_view payload, bool retained) {
  std::optional<std::string> origin;
  std::string_view leaf;
  for (const std::string_view candidate : {kCallLeaf, kStateLeaf, kAvailabilityLeaf}) {
    origin = topics_.OriginOf(topic, candidate);
    if (origin) {
      leaf = candidate;
      break;
    }
  }
  if (!origin) return Bad("on a topic not Hushcall's (" + std::string(topic.substr(0, 80)) + ")");
  // Our own calls are the model's already, from our own sources.
  if (*origin == topics_.host) return;
  if (leaf == kCallLeaf) {
    // A call message is never retained by us; one that is, is old news.
    if (!retained) TakeCall(*origin, payload);
  } else if (leaf == kStateLeaf) {
    TakeState(*origin, payload);
    // A retained state may be left by a machine that is gone; only a live
    // one is news.
    if (!retained) Heard(*origin);
  } else {
    TakeAvailability(*origin, payload);
  }
}

void RemoteCalls::TakeCall(const std::string& origin, std::string_view payload) {
  const ParsedCallMessage parsed = ParseCallMessage(payload);
  if (!parsed.message) return Bad("from " + origin + ": " + parsed.error);
  const CallMessage& message = *parsed.message;
  if (message.origin != origin) {
    return Bad("from " + origin + ": its origin " + message.origin + " is another machine's");
  }
  Heard(origin);
  CallReport report = message.report;
  report.source = SourceOf(origin);
  report.id = message.report.source + "/" + message.report.id;
  const auto it = std::find_if(calls_.begin(), calls_.end(), [&](const Followed& call) {
    return call.origin == origin && call.id == report.id;
  });
  if (it == calls_.end()) {
    // The end of a call never heard: the model would drop it too.
    if (report.phase == CallPhase::kEnded) return;
    if (calls_.size() >= kMaxRemoteCalls) {
      return Bad("from " + origin + ": more than " + std::to_string(kMaxRemoteCalls) +
                 " calls at once");
    }
    calls_.push_back({origin, report.id, report.direction});
    log_.Line("MQTT: " + origin + " has " +
              (report.direction == CallDirection::kIncoming ? "an incoming" : "an outgoing") +
              " call (" + report.id + ")");
  } else {
    // The direction is the call's since its first message.
    report.direction = it->direction;
    if (report.phase == CallPhase::kEnded) {
      calls_.erase(it);
      log_.Line("MQTT: " + origin + "'s call (" + report.id + ") has ended");
    }
  }
  if (report_) report_(report);
}

void RemoteCalls::TakeState(const std::string& origin, std::string_view payload) {
  const std::optional<LineState> state = ParseLineState(payload);
  if (!state) return Bad("from " + origin + ": a state that is not idle, ringing or talking");
  // Idle: whatever that machine's calls were, they are over.
  if (*state == LineState::kIdle) EndAll(origin);
}

void RemoteCalls::TakeAvailability(const std::string& origin, std::string_view payload) {
  if (payload == "online") {
    Heard(origin);
  } else if (payload == "offline") {
    Silent(origin);
  } else {
    Bad("from " + origin + ": an availability that is not online or offline");
  }
}

void RemoteCalls::Heard(const std::string& origin) {
  if (silentSinceMs_.erase(origin) != 0) SetWake();
}

void RemoteCalls::Silent(const std::string& origin) {
  const bool hasCalls = std::any_of(calls_.begin(), calls_.end(),
                                    [&](const Followed& call) { return call.origin == origin; });
  if (!hasCalls || silentSinceMs_.contains(origin)) return;
  silentSinceMs_[origin] = clock_.NowMs();
  SetWake();
}

void RemoteCalls::Lost() {
  std::vector<std::string> origins;
  for (const Followed& call : calls_) origins.push_back(call.origin);
  for (const std::string& origin : origins) Silent(origin);
}

void RemoteCalls::EndAll(const std::string& origin) {
  // Taken out first: the model's reactions may come back here.
  std::vector<Followed> ending;
  std::erase_if(calls_, [&](const Followed& call) {
    if (call.origin != origin) return false;
    ending.push_back(call);
    return true;
  });
  silentSinceMs_.erase(origin);
  for (const Followed& call : ending) {
    log_.Line("MQTT: " + origin + " is idle: its call (" + call.id + ") has ended");
    CallReport report;
    report.source = SourceOf(origin);
    report.id = call.id;
    report.direction = call.direction;
    report.phase = CallPhase::kEnded;
    if (report_) report_(report);
  }
  SetWake();
}

void RemoteCalls::GiveUp(const std::string& origin) {
  const std::size_t count = std::erase_if(
      calls_, [&](const Followed& call) { return call.origin == origin; });
  silentSinceMs_.erase(origin);
  log_.Line("MQTT: no news of " + origin + "'s " +
            (count == 1 ? std::string("call") : std::to_string(count) + " calls") + " for " +
            std::to_string(silenceMs_ / 1000) + " s; taken as over, the end unknown");
  if (forget_) forget_(SourceOf(origin));
}

void RemoteCalls::ForgetAll() {
  std::vector<std::string> origins;
  for (const Followed& call : calls_) {
    if (std::find(origins.begin(), origins.end(), call.origin) == origins.end())
      origins.push_back(call.origin);
  }
  calls_.clear();
  silentSinceMs_.clear();
  clock_.CancelWake();
  for (const std::string& origin : origins) {
    if (forget_) forget_(SourceOf(origin));
  }
}

void RemoteCalls::Bad(const std::string& what) {
  if (const std::size_t dropped = bad_.Drop(clock_.NowMs())) {
    log_.Line("MQTT: dropped " + Messages(dropped) + " that Hushcall cannot take (one: " + what +
              ")");
  }
}

void RemoteCalls::SetWake() {
  std::optional<std::int64_t> next;
  for (const auto& [origin, since] : silentSinceMs_) {
    if (!next || since + silenceMs_ < *next) next = since + silenceMs_;
  }
  if (next) {
    clock_.WakeAt(*next);
  } else {
    clock_.CancelWake();
  }
}

void RemoteCalls::OnWake() {
  const std::int64_t now = clock_.NowMs();
  std::vector<std::string> due;
  for (const auto& [origin, since] : silentSinceMs_) {
    if (since + silenceMs_ <= now) due.push_back(origin);
  }
  for (const std::string& origin : due) GiveUp(origin);
  SetWake();
}

}  // namespace hushcall::ringwatch
