// A machine's line as others see it on the broker, retained: idle, ringing
// (an incoming call rings) or talking (a call is answered, or one is made).
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "ringwatch/calls/call_model.h"

namespace hushcall::ringwatch {

enum class LineState { kIdle, kRinging, kTalking };

std::string_view LineStateText(LineState state);
std::optional<LineState> ParseLineState(std::string_view payload);

// The state of the calls that `mine` says this machine heard itself: a
// call heard only through the broker is another machine's to tell.
template <typename Mine>
LineState LineStateOf(const std::vector<Call>& calls, Mine mine) {
  LineState state = LineState::kIdle;
  for (const Call& call : calls) {
    bool heardHere = false;
    for (const CallLeg& leg : call.legs) heardHere = heardHere || mine(leg.source);
    if (!heardHere) continue;
    if (call.phase == CallPhase::kAnswered || call.direction == CallDirection::kOutgoing) {
      return LineState::kTalking;
    }
    state = LineState::kRinging;
  }
  return state;
}

}  // namespace hushcall::ringwatch
