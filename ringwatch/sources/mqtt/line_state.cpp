#include "ringwatch/sources/mqtt/line_state.h"

namespace hushcall::ringwatch {

std::string_view LineStateText(LineState state) {
  switch (state) {
    case LineState::kIdle:
      return "idle";
    case LineState::kRinging:
      return "ringing";
    case LineState::kTalking:
      return "talking";
  }
  return "idle";
}

std::optional<LineState> ParseLineState(std::string_view payload) {
  for (const LineState state : {LineState::kIdle, LineState::kRinging, LineState::kTalking}) {
    if (payload == LineStateText(state)) return state;
  }
  return std::nullopt;
}

}  // namespace hushcall::ringwatch
