// The call model's moments on the Linux desktop: quiet lowers, pauses or
// stops the MPRIS players and, with Popup on, says "The phone is ringing!"
// as a notification, naming the caller when known; a caller learnt later
// changes that notification in place. Put back hands the players their
// music again. One call heard by two sources comes here once.
#pragma once

#include "ringwatch/calls/call_model.h"
#include "ringwatch/calls/quiet_reactions.h"
#include <string>
#include <utility>
#include <vector>

#include "ringwatch/posix/log.h"
#include "ringwatch/reactions/mpris_reaction.h"
#include "ringwatch/reactions/notification_boxes.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {

class DesktopReactions final : public QuietReactions {
 public:
  // `settings` is read at each call. All must outlive this object.
  DesktopReactions(MprisReaction& players, NotificationBoxes& boxes, const Settings& settings,
                   Log& log)
      : players_(players), boxes_(boxes), settings_(settings), log_(log) {}

  // The players first, then the popup; a reaction that fails is logged and
  // shows no popup, as on Windows.
  void Quiet(const Call& call) override;
  void PutBack() override;
  void KeptQuiet(KeptQuietBecause why) override;
  // Logged; the notification is changed when it is this call's.
  void CallerKnown(const Call& call) override;

 private:
  void Notify(const Call& call, bool change);

  MprisReaction& players_;
  NotificationBoxes& boxes_;
  const Settings& settings_;
  Log& log_;
  // The sources and ids of the call the notification is about.
  std::vector<std::pair<std::string, std::string>> notified_;
};

}  // namespace hushcall::ringwatch
