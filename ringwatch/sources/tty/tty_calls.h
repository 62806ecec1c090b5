// A modem on a tty as a call source: the ring watch of the Windows plug-in
// (modem reset, ring detection, the recovery of a lost line) on the
// service's components, each of its rings reported to the call model as an
// incoming call that is ringing. A modem says nothing of a call but RING
// and, when asked for it, the caller ID after the first ring: no answer and
// no end, so the model ends the call 10 s after its last ring. A new call
// begins where the ring watch's own call timer starts one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ringwatch/calls/call_report.h"
#include "ringwatch/core/call_reaction.h"
#include "ringwatch/core/message_boxes.h"
#include "ringwatch/core/modring.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"
#include "ringwatch/posix/posix_components.h"
#include "ringwatch/posix/watch_components.h"
#include "ringwatch/sources/tty/caller_id_session.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {

// The source's name in its reports.
inline constexpr const char* kTtySource = "tty";

class TtyCalls final : private CallReaction {
 public:
  // Watches `tty` (empty: the record's COMPort) with a copy of `settings`
  // taken now: a change of port or Enabled makes the source anew. `boxes`
  // tell of a modem that is missing or lost. With `callerId` the modem is
  // asked for the caller, who is reported with the call once read.
  // Everything given must outlive this object. Throws Failure when the
  // components cannot be made.
  TtyCalls(EventLoop& loop, std::string tty, const Settings& settings, bool callerId,
           MessageBoxes& boxes, Log& log, std::function<void(const CallReport&)> report);
  ~TtyCalls() override;
  TtyCalls(const TtyCalls&) = delete;
  TtyCalls& operator=(const TtyCalls&) = delete;

  // Opens the port and resets the modem. Nobody is there to answer a
  // question: a modem that does not answer is told once and looked for
  // every 2 s.
  void Start();

 private:
  void FirstRing() override;
  void FurtherRing() override;
  void Caller(const ModemCallerId& caller);
  void Tell(CallReport report);

  // The service's record with Popup off: the call model tells of a call,
  // once, whichever source heard it.
  Settings record_;
  std::function<void(const CallReport&)> report_;
  std::uint64_t call_ = 0;  // the ring watch's calls so far; the newest rings
  std::unique_ptr<CallerIdSession> session_;  // only with caller ID asked for
  // The ring watch outlives its components, which call into it.
  std::unique_ptr<PosixComponents> components_;
  std::unique_ptr<ModRing> ring_;
  std::unique_ptr<WatchComponents> watch_;
};

}  // namespace hushcall::ringwatch
