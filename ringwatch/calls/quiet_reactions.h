// What the call model's two moments do to the music: quiet it on the first
// ring of a call, and put it back once every call of that quiet has ended;
// and the caller of a call, when it is learnt after the call began.
#pragma once

namespace hushcall::ringwatch {

struct Call;

// Why the music stays quiet after the calls.
enum class KeptQuietBecause {
  kRestoreOff,  // Restore=0
  kEndUnknown,  // a call whose end no source could tell took part
};

class QuietReactions {
 public:
  virtual ~QuietReactions() = default;
  // The first ring of `call` while no quiet was on: quiet the players and
  // tell the user. A failure thrown here leaves the quiet on all the same.
  virtual void Quiet(const Call& call) = 0;
  // Every call of the quiet has ended: put back what Quiet changed.
  virtual void PutBack() = 0;
  virtual void KeptQuiet(KeptQuietBecause why) = 0;
  // A call in progress learnt more of its caller's number or name: a
  // modem's caller ID after its first ring, a second source that knows it.
  virtual void CallerKnown(const Call& call) = 0;
};

}  // namespace hushcall::ringwatch
