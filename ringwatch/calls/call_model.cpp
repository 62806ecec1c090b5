// Folding the sources' reports into calls, and the calls into quiet and
// put back.
#include "ringwatch/calls/call_model.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace hushcall::ringwatch {
namespace {

// Enough for every modem a machine may watch; older ones are long over.
constexpr std::size_t kEndedLegsKept = 8;

bool SameLeg(const CallLeg& leg, const CallReport& report) {
  return leg.source == report.source && leg.id == report.id;
}

// A detail a source knows better replaces one it knows less of: a number
// beats "withheld", which beats nothing.
void Merge(CallerDetail& into, const CallerDetail& from) {
  if (from.kind == CallerDetail::Kind::kUnknown || into.known()) return;
  if (from.known() || into.kind == CallerDetail::Kind::kUnknown) into = from;
}

// Over when every source that reports ends has said so; a call that only
// such sources hear would never end otherwise, and one that none of them
// hears is over when the last of its rings has run out.
bool Over(const Call& call) {
  const bool anyKnown = call.endKnown();
  return std::all_of(call.legs.begin(), call.legs.end(), [&](const CallLeg& leg) {
    return leg.ended || (anyKnown && !leg.endKnown);
  });
}

}  // namespace

bool Call::endKnown() const {
  return std::any_of(legs.begin(), legs.end(), [](const CallLeg& leg) { return leg.endKnown; });
}

bool CallModel::Quiets(const CallReport& report) const {
  if (report.direction == CallDirection::kIncoming) return report.phase == CallPhase::kRinging;
  // A call the user makes, when it counts, from its dialling on; one seen
  // first answered still has its whole talk ahead.
  return settings_.outgoing && report.phase != CallPhase::kEnded;
}

CallModel::CallModel(CallClock& clock, QuietReactions& reactions, const ServiceSettings& settings)
    : clock_(clock), reactions_(reactions), settings_(settings) {
  clock_.SetOnWake([this] { OnWake(); });
}

CallModel::~CallModel() {
  clock_.SetOnWake(nullptr);
  try {
    clock_.CancelWake();
  } catch (...) {
    // The handler is gone already: a wake that still comes finds nothing.
  }
}

Call* CallModel::FindLeg(const CallReport& report, CallLeg*& leg) {
  for (Call& call : calls_) {
    for (CallLeg& candidate : call.legs) {
      if (SameLeg(candidate, report)) {
        leg = &candidate;
        return &call;
      }
    }
  }
  return nullptr;
}

Call* CallModel::FindSameCall(const CallReport& report) {
  if (report.direction != CallDirection::kIncoming) return nullptr;
  for (Call& call : calls_) {
    if (call.direction != CallDirection::kIncoming) continue;
    const bool heardHere = std::any_of(call.legs.begin(), call.legs.end(), [&](const CallLeg& leg) {
      return leg.source == report.source;
    });
    if (heardHere) continue;
    if (call.number.known() && report.number.known()) {
      if (call.number.text == report.number.text) return &call;
    } else if (call.phase == CallPhase::kRinging) {
      return &call;
    }
  }
  return nullptr;
}

bool CallModel::RecentlyEnded(const CallReport& report) const {
  return std::any_of(endedLegs_.begin(), endedLegs_.end(),
                     [&](const CallLeg& leg) { return SameLeg(leg, report); });
}

void CallModel::Apply(Call& call, CallLeg& leg, const CallReport& report) {
  Merge(call.number, report.number);
  Merge(call.name, report.name);
  if (call.line.empty()) call.line = report.line;
  switch (report.phase) {
    case CallPhase::kRinging:
      break;
    case CallPhase::kAnswered:
      call.phase = CallPhase::kAnswered;
      break;
    case CallPhase::kEnded:
      leg.ended = true;
      break;
  }
  // A source may learn late that it will not hear the end: a SIP phone's
  // call taken by another phone.
  if (!report.endKnown) leg.endKnown = false;
  if (!leg.endKnown && !leg.ended) leg.dueMs = clock_.NowMs() + kUnendedCallMs;
}

void CallModel::Report(const CallReport& report) {
  CallLeg* leg = nullptr;
  Call* call = FindLeg(report, leg);
  std::optional<Call> quieting;
  bool fresh = false;
  if (call == nullptr) {
    // The end of a call never heard, or a late ring of one that is over.
    if (report.phase == CallPhase::kEnded || RecentlyEnded(report)) return;
    call = FindSameCall(report);
    if (call == nullptr) {
      fresh = true;
      Call begun;
      begun.direction = report.direction;
      begun.phase = report.phase;
      begun.inQuiet = quiet_ || Quiets(report);
      calls_.push_back(std::move(begun));
      call = &calls_.back();
      if (!quiet_ && call->inQuiet) {
        quiet_ = true;
        quietEndUnknown_ = false;
        quieting.emplace();
      }
    }
    call->legs.push_back(CallLeg{report.source, report.id, report.endKnown});
    leg = &call->legs.back();
  }
  const CallerDetail number = call->number;
  const CallerDetail name = call->name;
  Apply(*call, *leg, report);
  // The reactions get copies: they may report again, and the calls move.
  if (quieting) *quieting = *call;
  std::optional<Call> learnt;
  if (!fresh && (call->number != number || call->name != name)) learnt = *call;
  Settle();
  if (quieting) reactions_.Quiet(*quieting);
  if (learnt) reactions_.CallerKnown(*learnt);
}

void CallModel::Forget(std::string_view source) {
  for (auto it = calls_.begin(); it != calls_.end();) {
    std::erase_if(it->legs, [&](const CallLeg& leg) { return leg.source == source; });
    if (it->legs.empty()) {
      if (it->inQuiet) quietEndUnknown_ = true;
      it = calls_.erase(it);
    } else {
      ++it;
    }
  }
  std::erase_if(endedLegs_, [&](const CallLeg& leg) { return leg.source == source; });
  Settle();
}

void CallModel::OnWake() { Settle(); }

void CallModel::Settle() {
  const std::int64_t now = clock_.NowMs();
  for (auto it = calls_.begin(); it != calls_.end();) {
    for (CallLeg& leg : it->legs) {
      if (!leg.endKnown && !leg.ended && leg.dueMs <= now) leg.ended = true;
    }
    if (!Over(*it)) {
      ++it;
      continue;
    }
    if (it->inQuiet && !it->endKnown()) quietEndUnknown_ = true;
    for (const CallLeg& leg : it->legs) {
      if (leg.endKnown) continue;
      endedLegs_.push_back(leg);
      if (endedLegs_.size() > kEndedLegsKept) endedLegs_.pop_front();
    }
    it = calls_.erase(it);
  }
  std::optional<std::int64_t> next;
  for (const Call& call : calls_) {
    for (const CallLeg& leg : call.legs) {
      if (!leg.endKnown && !leg.ended && (!next || leg.dueMs < *next)) next = leg.dueMs;
    }
  }
  if (next) {
    clock_.WakeAt(*next);
  } else {
    clock_.CancelWake();
  }
  const bool quietCallsLeft =
      std::any_of(calls_.begin(), calls_.end(), [](const Call& call) { return call.inQuiet; });
  if (quiet_ && !quietCallsLeft) EndQuiet();
  if (onSettled_) onSettled_();
}

void CallModel::EndQuiet() {
  quiet_ = false;
  if (!settings_.restore) {
    reactions_.KeptQuiet(KeptQuietBecause::kRestoreOff);
  } else if (quietEndUnknown_) {
    reactions_.KeptQuiet(KeptQuietBecause::kEndUnknown);
  } else {
    reactions_.PutBack();
  }
}

}  // namespace hushcall::ringwatch
