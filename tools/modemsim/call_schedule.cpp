#include "tools/modemsim/call_schedule.h"

#include <algorithm>

namespace hushcall::modemsim {

void CallSchedule::StartScript(TimePoint now) {
  if (scriptStarted_) return;
  scriptStarted_ = true;
  TimePoint last = now;
  TimePoint callStart = now + plan_.firstRing;
  const int rings = std::max(plan_.rings, 0);
  for (int call = 1; call <= plan_.calls && rings > 0; ++call) {
    for (int ring = 1; ring <= rings; ++ring) {
      last = callStart + plan_.ringInterval * (ring - 1);
      Insert({ScheduledEvent::Kind::kRing, last,
              "call " + std::to_string(call) + " ring " + std::to_string(ring) + "/" +
                  std::to_string(rings),
              ring == 1});
    }
    callStart = last + plan_.callGap;
  }
  // With no calls the script ends as it starts: a hangup or exit asked for
  // "after the calls" then counts from here.
  Insert({ScheduledEvent::Kind::kScriptEnd, last, "script end", false});
}

void CallSchedule::AddRings(TimePoint now, int count, Millis gap) {
  for (int i = 0; i < count; ++i) {
    Insert({ScheduledEvent::Kind::kRing, now + gap * i,
            "control ring " + std::to_string(i + 1) + "/" + std::to_string(count), i == 0});
  }
}

std::optional<TimePoint> CallSchedule::NextDue() const {
  if (pending_.empty()) return std::nullopt;
  return pending_.front().at;
}

std::vector<ScheduledEvent> CallSchedule::TakeDue(TimePoint now) {
  auto end = std::find_if(pending_.begin(), pending_.end(),
                          [now](const ScheduledEvent& e) { return e.at > now; });
  std::vector<ScheduledEvent> due(std::make_move_iterator(pending_.begin()),
                                  std::make_move_iterator(end));
  pending_.erase(pending_.begin(), end);
  return due;
}

// Events at the same time keep the order they were added in, so the
// script's last ring comes before its end.
void CallSchedule::Insert(ScheduledEvent event) {
  auto pos = std::upper_bound(pending_.begin(), pending_.end(), event.at,
                              [](TimePoint t, const ScheduledEvent& e) { return t < e.at; });
  pending_.insert(pos, std::move(event));
}

}  // namespace hushcall::modemsim
