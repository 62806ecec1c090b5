// Other machines' calls, as the broker brings them, reported to the call
// model as a call source.
//
//  - A call is known by its origin and its id there. The model hears it from
//    source "mqtt/<origin>" as id "<their source>/<id>": a call that this
//    machine hears itself too (the same router's call monitor, say) is
//    folded into one call, as the model folds any two sources.
//  - Our own origin is never taken, nor a retained call message (old news).
//  - A call ends with its own end, or when its origin's state turns idle.
//  - A call whose news cannot reach us, because the broker is lost or its
//    origin went offline by its will, is given up after a silence
//    (kRemoteSilenceMs unless told) as one whose end is not known; news
//    from its origin in that time (its state again after a reconnect,
//    online, a message) keeps it.
//  - Bad messages are dropped, said at most once a minute; at most
//    kMaxRemoteCalls calls are followed at once, the rest dropped alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_clock.h"
#include "ringwatch/calls/call_report.h"
#include "ringwatch/core/dropped_tally.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/sources/mqtt/mqtt_topics.h"

namespace hushcall::ringwatch {

inline constexpr std::string_view kMqttSourcePrefix = "mqtt/";
inline constexpr std::int64_t kRemoteSilenceMs = 120000;
inline constexpr std::int64_t kRemoteBadLogMs = 60000;
inline constexpr std::size_t kMaxRemoteCalls = 32;

// Whether a report's source is a machine heard through the broker.
bool IsRemoteSource(std::string_view source);

class RemoteCalls {
 public:
  using Report = std::function<void(const CallReport&)>;
  using Forget = std::function<void(std::string_view source)>;

  // `forget` ends a source's calls in the model, their end unknown;
  // `silenceMs` is how long a call may go without news. The clock and the
  // log must outlive this object; it takes the clock's wake.
  RemoteCalls(CallClock& clock, Log& log, MqttTopics topics, Report report, Forget forget,
              std::int64_t silenceMs = kRemoteSilenceMs);
  ~RemoteCalls();
  RemoteCalls(const RemoteCalls&) = delete;
  RemoteCalls& operator=(const RemoteCalls&) = delete;

  // What to subscribe to, on each connect.
  std::vector<std::string> Filters() const;

  // A message from the broker.
  void Take(std::string_view topic, std::string_view payload, bool retained);
  // The broker is lost: no machine's news can reach us until it is back.
  void Lost();
  // The source stops: every call followed is over, its end unknown.
  void ForgetAll();

  std::size_t followed() const { return calls_.size(); }

 private:
  struct Followed {
    std::string origin;
    std::string id;  // the model's: "<their source>/<id>"
    CallDirection direction = CallDirection::kIncoming;
  };

  void TakeCall(const std::string& origin, std::string_view payload);
  void TakeState(const std::string& origin, std::string_view payload);
  void TakeAvailability(const std::string& origin, std::string_view payload);
  // News from `origin`: its calls are no longer given up.
  void Heard(const std::string& origin);
  // No news can come from `origin` from now on.
  void Silent(const std::string& origin);
  void EndAll(const std::string& origin);
  void GiveUp(const std::string& origin);
  void Bad(const std::string& what);
  void SetWake();
  void OnWake();

  CallClock& clock_;
  Log& log_;
  const MqttTopics topics_;
  const std::int64_t silenceMs_;
  Report report_;
  Forget forget_;
  std::vector<Followed> calls_;
  // Origins with calls whose news cannot reach us, since when.
  std::map<std::string, std::int64_t> silentSinceMs_;
  DroppedTally bad_{kRemoteBadLogMs};
};

}  // namespace hushcall::ringwatch
