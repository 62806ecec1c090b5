// What the notification and the log say of a caller, whatever the sources
// knew of it, with the network's texts cut to a bound.
#include "ringwatch/reactions/caller_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace hushcall::ringwatch {
namespace {

using Kind = CallerDetail::Kind;

Call Incoming(CallerDetail number, CallerDetail name = {}) {
  Call call;
  call.number = std::move(number);
  call.name = std::move(name);
  call.legs = {CallLeg{"tty", "1"}, CallLeg{"callmonitor", "0"}};
  return call;
}

TEST(CallerTexts, TheNotificationNamesWhatIsKnownOfTheCaller) {
  const CallerDetail withheld{Kind::kWithheld, {}};
  const CallerDetail unavailable{Kind::kUnavailable, {}};
  const CallerDetail number = CallerDetail::Known("5551234");
  const CallerDetail name = CallerDetail::Known("JOHN DOE");
  EXPECT_EQ(CallFromText(Incoming(number, name)), "Call from JOHN DOE (5551234)");
  EXPECT_EQ(CallFromText(Incoming(number, withheld)), "Call from 5551234");
  EXPECT_EQ(CallFromText(Incoming(withheld, name)), "Call from JOHN DOE");
  EXPECT_EQ(CallFromText(Incoming(withheld, withheld)), "Caller withheld");
  EXPECT_EQ(CallFromText(Incoming({}, withheld)), "Caller withheld");
  // Nothing to name: the notification stays as it was.
  EXPECT_EQ(CallFromText(Incoming(unavailable, unavailable)), "");
  EXPECT_EQ(CallFromText(Incoming({})), "");
  Call dialled = Incoming(number);
  dialled.direction = CallDirection::kOutgoing;
  EXPECT_EQ(CallFromText(dialled), "");

  EXPECT_EQ(CallLogText(Incoming(number, name)), "tty 1, callmonitor 0: from 5551234 (JOHN DOE)");
  EXPECT_EQ(CallLogText(Incoming(withheld)), "tty 1, callmonitor 0: from a withheld number");
  EXPECT_EQ(CallLogText(dialled), "tty 1, callmonitor 0: to 5551234");
}

TEST(CallerTexts, LongTextsAreCutWithoutSplittingACharacter) {
  // 63 bytes, then a two-byte character across the bound.
  const std::string name = std::string(63, 'a') + "\xC3\xA9" + std::string(100, 'b');
  const std::string text = CallFromText(Incoming({}, CallerDetail::Known(name)));
  EXPECT_EQ(text, "Call from " + std::string(63, 'a'));
  const std::string number(200, '5');
  EXPECT_EQ(CallFromText(Incoming(CallerDetail::Known(number))),
            "Call from " + std::string(kMaxCallerText, '5'));
}

}  // namespace
}  // namespace hushcall::ringwatch
