// When the modem reports rings: the call script (calls of several rings with
// gaps between them) and rings asked for through the control FIFO. Time is
// passed in, so the schedule runs as well on a fake clock as on the real one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/modemsim/clock.h"

namespace hushcall::modemsim {

struct CallPlan {
  int calls = 0;
  int rings = 3;
  Millis ringInterval{6000};
  Millis callGap{15000};   // from a call's last ring to the next call's first
  Millis firstRing{1000};  // from the script's start to its first ring
};

struct ScheduledEvent {
  enum class Kind { kRing, kScriptEnd };
  Kind kind;
  TimePoint at;
  std::string label;  // for the transcript, e.g. "call 2 ring 1/3"
  bool firstOfCall = false;  // a call's first ring: caller ID follows it
};

class CallSchedule {
 public:
  explicit CallSchedule(CallPlan plan) : plan_(plan) {}

  // Starts the call script; later calls do nothing (it plays once).
  void StartScript(TimePoint now);
  bool scriptStarted() const { return scriptStarted_; }

  // Rings asked for from outside the script: `count` rings, `gap` apart,
  // the first one now.
  void AddRings(TimePoint now, int count, Millis gap);

  std::optional<TimePoint> NextDue() const;

  // Removes and returns, in time order, every event due at `now`.
  std::vector<ScheduledEvent> TakeDue(TimePoint now);

 private:
  void Insert(ScheduledEvent event);

  CallPlan plan_;
  bool scriptStarted_ = false;
  std::vector<ScheduledEvent> pending_;  // sorted by time, stable
};

}  // namespace hushcall::modemsim
