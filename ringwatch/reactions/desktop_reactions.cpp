#include "ringwatch/reactions/desktop_reactions.h"

#include <string>

#include "common/status.h"
#include "ringwatch/core/ring_watch_texts.h"

namespace hushcall::ringwatch {
namespace {

std::string CallerText(const Call& call) {
  if (call.direction == CallDirection::kOutgoing) {
    return call.number.known() ? "to " + call.number.text : "to an unknown number";
  }
  switch (call.number.kind) {
    case CallerDetail::Kind::kKnown:
      return "from " + call.number.text;
    case CallerDetail::Kind::kWithheld:
      return "from a withheld number";
    case CallerDetail::Kind::kUnavailable:
      return "from an unavailable number";
    case CallerDetail::Kind::kUnknown:
      break;
  }
  return "from an unknown number";
}

}  // namespace

void DesktopReactions::Quiet(const Call& call) {
  const bool outgoing = call.direction == CallDirection::kOutgoing;
  log_.Line(outgoing ? "a call is made (" + CallerText(call) + "): quieting the players"
                     : "a call rings (" + CallerText(call) + "): quieting the players");
  const Status status = StatusOf([&] {
    players_.FirstRing();
    return kOk;
  });
  if (Failed(status)) {
    log_.Line("the reaction to the call failed");
    return;
  }
  // The user is dialling: nothing rings to tell of.
  if (settings_.Popup && !outgoing) boxes_.Show(kRingingText, kProductName, kMbExclamationOk);
}

void DesktopReactions::PutBack() {
  log_.Line("the calls are over: putting the players back");
  players_.PutBack();
}

void DesktopReactions::KeptQuiet(KeptQuietBecause why) {
  log_.Line(why == KeptQuietBecause::kRestoreOff
                ? "the calls are over; the players stay as they are (Restore=0)"
                : "the calls are over; the players stay as they are, since how a call went is "
                  "not known (heard on the tty alone, or its source went away)");
}

}  // namespace hushcall::ringwatch
