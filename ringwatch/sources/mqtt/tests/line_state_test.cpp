// The line's state: its three words, and what this machine's calls make it.
#include "ringwatch/sources/mqtt/line_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace hushcall::ringwatch {
namespace {

TEST(LineState, ItsThreeWordsBothWaysAndNothingElse) {
  for (const LineState state : {LineState::kIdle, LineState::kRinging, LineState::kTalking}) {
    EXPECT_EQ(ParseLineState(LineStateText(state)), state);
  }
  EXPECT_EQ(LineStateText(LineState::kTalking), "talking");
  EXPECT_FALSE(ParseLineState("Idle"));
  EXPECT_FALSE(ParseLineState("idle\n"));
  EXPECT_FALSE(ParseLineState(""));
}

Call CallOf(std::vector<std::string> sources, CallPhase phase,
            CallDirection direction = CallDirection::kIncoming) {
  Call call;
  call.phase = phase;
  call.direction = direction;
  for (std::string& source : sources) call.legs.push_back(CallLeg{std::move(source), "1"});
  return call;
}

bool Mine(std::string_view source) { return !source.starts_with("mqtt/"); }

TEST(LineState, OurCallsMakeItAndCallsHeardOnlyThroughTheBrokerDoNot) {
  EXPECT_EQ(LineStateOf({}, Mine), LineState::kIdle);
  EXPECT_EQ(LineStateOf({CallOf({"mqtt/lap"}, CallPhase::kAnswered)}, Mine), LineState::kIdle);
  EXPECT_EQ(LineStateOf({CallOf({"tty"}, CallPhase::kRinging)}, Mine), LineState::kRinging);
  // Heard here too: ours to tell.
  EXPECT_EQ(LineStateOf({CallOf({"mqtt/lap", "callmonitor"}, CallPhase::kRinging)}, Mine),
            LineState::kRinging);
  EXPECT_EQ(LineStateOf({CallOf({"callmonitor"}, CallPhase::kRinging),
                         CallOf({"modemmanager"}, CallPhase::kAnswered)},
                        Mine),
            LineState::kTalking);
  // A call being made is the line in use, not a ring.
  EXPECT_EQ(LineStateOf({CallOf({"callmonitor"}, CallPhase::kRinging, CallDirection::kOutgoing)},
                        Mine),
            LineState::kTalking);
}

}  // namespace
}  // namespace hushcall::ringwatch
