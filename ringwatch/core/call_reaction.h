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
};

}  // namespace hushcall::ringwatch
