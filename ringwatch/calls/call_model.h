// The one place where the reports of every call source meet. It folds them
// into calls, and the calls into two moments:
//  - quiet: an incoming call's first ring while no quiet is on, or with
//    Outgoing on, a call the user makes;
//  - put back: every call that began while the music was quiet (the one
//    that quieted it included) has ended.
// Put back is skipped when Restore is off, or when a call of the quiet had
// no known end (a modem on a tty: its call ends kUnendedCallMs after its
// last ring, however it went). A call that is not part of a quiet, such as
// one made while the music plays, holds nothing back.
//
// Two sources may hear the same call: a modem and the router on one line.
// A report of an incoming call from a source that the model has not heard
// yet joins an incoming call in progress when
//  - both know the caller's number and it is the same, or
//  - one of them does not know it and the call in progress is still ringing.
// Otherwise it is a call of its own. A call heard twice ends when every
// source that reports ends has said so (its modem's rings do not matter
// then), and it counts as a call with a known end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_clock.h"
#include "ringwatch/calls/call_report.h"
#include "ringwatch/calls/quiet_reactions.h"
#include "settings/settings_file.h"

namespace hushcall::ringwatch {

// How long after its last report a call without a known end is over: the
// Windows plug-in's ring timer.
inline constexpr int kUnendedCallMs = 10000;

// One source's view of a call.
struct CallLeg {
  std::string source;
  std::string id;
  bool endKnown = true;
  bool ended = false;
  std::int64_t dueMs = 0;  // without a known end: when it is over
};

// A call as all its sources heard it, their details taken together.
struct Call {
  CallDirection direction = CallDirection::kIncoming;
  CallPhase phase = CallPhase::kRinging;  // never kEnded: an ended call is gone
  CallerDetail number;
  CallerDetail name;
  std::string line;
  bool inQuiet = false;  // it began while the music was quiet, or quieted it
  std::vector<CallLeg> legs;

  bool endKnown() const;
};

class CallModel {
 public:
  // `settings.outgoing` is read when a call begins, `settings.restore` when
  // the calls of a quiet are over. The
  // clock, the reactions and the settings must outlive the model.
  CallModel(CallClock& clock, QuietReactions& reactions, const ServiceSettings& settings);
  ~CallModel();
  CallModel(const CallModel&) = delete;
  CallModel& operator=(const CallModel&) = delete;

  void Report(const CallReport& report);
  // A source that stops (a reload, say) takes its calls with it: they are
  // over, and how they went is not known.
  void Forget(std::string_view source);

  bool quiet() const { return quiet_; }
  const std::vector<Call>& calls() const { return calls_; }

  // Runs once the calls have settled after each report, forget and wake,
  // for what shows them elsewhere; it must not report to the model.
  void SetOnSettled(std::function<void()> handler) { onSettled_ = std::move(handler); }

 private:
  // Whether a call that begins with `report` quiets the music.
  bool Quiets(const CallReport& report) const;
  Call* FindLeg(const CallReport& report, CallLeg*& leg);
  Call* FindSameCall(const CallReport& report);
  bool RecentlyEnded(const CallReport& report) const;
  void Apply(Call& call, CallLeg& leg, const CallReport& report);
  // Ends the calls that are over, then the quiet when none of its calls is
  // left, and sets the next wake.
  void Settle();
  void EndQuiet();
  void OnWake();

  CallClock& clock_;
  QuietReactions& reactions_;
  const ServiceSettings& settings_;
  std::vector<Call> calls_;
  bool quiet_ = false;
  bool quietEndUnknown_ = false;
  // The latest legs without a known end whose call is over: a ring of
  // theirs still on its way is not a new call.
  std::deque<CallLeg> endedLegs_;
  std::function<void()> onSettled_;
};

}  // namespace hushcall::ringwatch
