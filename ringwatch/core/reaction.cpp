// The first ring of a call: the reaction, then the popup.
#include "ringwatch/core/modring.h"
#include "ringwatch/core/ring_watch_texts.h"

namespace hushcall::ringwatch {

void ModRing::React() {
  reaction_.FirstRing();
  // One popup at a time: an unattended player would otherwise stack a box
  // inside a box for every call. The player has heard of this call anyway.
  if (settings_.Popup) ShowUnlessUp(popupShown_, kRingingText);
}

void ModRing::ShowUnlessUp(bool& up, std::string_view text) {
  // An answered box whose Show waits under a box opened inside it (the
  // lost-line notice inside the popup) is off the screen: the next call's
  // popup is news again.
  if (up && messageBoxes_.Unanswered(text, kProductName)) return;
  const struct Restore {
    bool& flag;
    bool before;
    ~Restore() { flag = before; }
  } restore{up, up};
  up = true;
  messageBoxes_.Show(text, kProductName, kMbExclamationOk);
}

}  // namespace hushcall::ringwatch
