// What the first ring of a call does to the music. The plug-in tells the
// player through its window messages; a desktop front end tells whatever
// players it finds.
#pragma once

namespace hushcall::ringwatch {

class CallReaction {
 public:
  virtual ~CallReaction() = default;
  // Carries out the Action setting. Throws Failure when it can't; nothing
  // has been changed then.
  virtual void FirstRing() = 0;
  // A further ring of the call in progress. The player has heard of the
  // call already; a front end that follows calls ring by ring hears it here.
  virtual void FurtherRing() {}
};

}  // namespace hushcall::ringwatch
