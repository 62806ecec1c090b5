// The call model's moments on the Linux desktop: quiet lowers, pauses or
// stops the MPRIS players and, with Popup on, says "The phone is ringing!"
// as a notification; put back hands the players their music again. One
// call heard by two sources comes here once.
#pragma once

#include "ringwatch/calls/call_model.h"
#include "ringwatch/calls/quiet_reactions.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/reactions/mpris_reaction.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {

class DesktopReactions final : public QuietReactions {
 public:
  // `settings` is read at each call. All must outlive this object.
  DesktopReactions(MprisReaction& players, MessageBoxes& boxes, const Settings& settings, Log& log)
      : players_(players), boxes_(boxes), settings_(settings), log_(log) {}

  // The players first, then the popup; a reaction that fails is logged and
  // shows no popup, as on Windows.
  void Quiet(const Call& call) override;
  void PutBack() override;
  void KeptQuiet(KeptQuietBecause why) override;

 private:
  MprisReaction& players_;
  MessageBoxes& boxes_;
  const Settings& settings_;
  Log& log_;
};

}  // namespace hushcall::ringwatch
