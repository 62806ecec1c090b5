#include "ringwatch/reactions/desktop_reactions.h"

#include <algorithm>
#include <string>

#include "common/status.h"
#include "ringwatch/core/ring_watch_texts.h"
#include "ringwatch/reactions/caller_texts.h"

namespace hushcall::ringwatch {

void DesktopReactions::Quiet(const Call& call) {
  const bool outgoing = call.direction == CallDirection::kOutgoing;
  log_.Line(outgoing ? "a call is made (" + CallLogText(call) + "): quieting the players"
                     : "a call rings (" + CallLogText(call) + "): quieting the players");
  const Status status = StatusOf([&] {
    players_.FirstRing();
    return kOk;
  });
  if (Failed(status)) {
    log_.Line("the reaction to the call failed");
    return;
  }
  // The user is dialling: nothing rings to tell of.
  if (settings_.Popup && !outgoing) Notify(call, /*change=*/false);
}

void DesktopReactions::CallerKnown(const Call& call) {
  log_.Line("caller of the call (" + CallLogText(call) + ")");
  const bool ours = std::any_of(call.legs.begin(), call.legs.end(), [&](const CallLeg& leg) {
    return std::find(notified_.begin(), notified_.end(), std::pair(leg.source, leg.id)) !=
           notified_.end();
  });
  if (ours) Notify(call, /*change=*/true);
}

void DesktopReactions::Notify(const Call& call, bool change) {
  notified_.clear();
  for (const CallLeg& leg : call.legs) notified_.emplace_back(leg.source, leg.id);
  // With a caller to name, the ringing is the summary and the caller the
  // body; without, the notification stays as it always was.
  const std::string caller = CallFromText(call);
  const std::string_view text = caller.empty() ? kRingingText : std::string_view(caller);
  const std::string_view title = caller.empty() ? kProductName : kRingingText;
  if (change) {
    boxes_.Change(text, title);
  } else {
    boxes_.ShowChangeable(text, title, kMbExclamationOk);
  }
}

void DesktopReactions::PutBack() {
  log_.Line("the calls are over: putting the players back");
  players_.PutBack();
}

void DesktopReactions::KeptQuiet(KeptQuietBecause why) {
  log_.Line(why == KeptQuietBecause::kRestoreOff
                ? "the calls are over; the players stay as they are (Restore=0)"
                : "the calls are over; the players stay as they are, since how a call went is "
                  "not known (heard on the tty alone, taken by another phone, or its source "
                  "went away)");
}

}  // namespace hushcall::ringwatch
