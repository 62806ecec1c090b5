// What the notification and the log say of a caller, with the network's
// texts cut to a bound.
#include "ringwatch/reactions/caller_texts.h"

#include <gtest/gtest.h>

#include <string>

namespace hushcall::ringwatch {
namespace {

Call Incoming(CallerDetail number, CallerDetail name = {}) {
  Call call;
  call.number = std::move(number);
  call.name = std::move(name);
  call.legs = {CallLeg{"tty", "1"}, CallLeg{"callmonitor", "0"}};
  return call;
}

TEST(CallerTexts, TheNotificationAndTheLogNameWhatIsKnownOfTheCaller) {
  const CallerDetail withheld{CallerDetail::Kind::kWithheld, {}};
  const CallerDetail unavailable{CallerDetail::Kind::kUnavailable, {}};
  const CallerDetail number = CallerDetail::Known("5551234");
  const CallerDetail name = CallerDetail::Known("JOHN DOE");
  EXPECT_EQ(CallFromText(Incoming(number, name)), "Call from JOHN DOE (5551234)");
  EXPECT_EQ(CallFromText(Incoming(number, withheld)), "Call from 5551234");
  EXPECT_EQ(CallFromText(Incoming(withheld, withheld)), "Caller withheld");
  EXPECT_EQ(CallFromText(Incoming(unavailable, unavailable)), "") << "today's text stays";
  EXPECT_EQ(CallLogText(Incoming(number, name)), "tty 1, callmonitor 0: from 5551234 (JOHN DOE)");
  // Cut at the bound, never inside a character: 63 bytes, then a
  // two-byte one across it.
  const std::string longName = std::string(63, 'a') + "\xC3\xA9" + std::string(100, 'b');
  EXPECT_EQ(CallFromText(Incoming(unavailable, CallerDetail::Known(longName))),
            "Call from " + std::string(63, 'a'));
}

}  // namespace
}  // namespace hushcall::ringwatch
