// How a source that lost its peer tries again: the first wait short, each
// next one doubled up to a ceiling, and back to the first once it is
// connected; the outage told to the user once, and each new reason logged
// once, so that a peer that stays away costs a line, not a flood.
#pragma once

#include <string>
#include <string_view>

namespace hushcall::ringwatch {

class RetryBackoff {
 public:
  RetryBackoff(int firstMs, int lastMs);

  // The wait before the coming try: what the log says.
  int waitMs() const { return waitMs_; }
  // Takes the coming wait, and doubles the one after, up to the ceiling.
  int NextWaitMs();

  // True once per outage, the first time it is asked.
  bool TellOnce();
  // Whether the outage has been told.
  bool told() const { return told_; }
  // Whether `why` is not the reason logged last; remembers it.
  bool NewReason(std::string_view why);

  // Connected: the next outage starts from the first wait, and is told and
  // logged anew.
  void Succeeded();

 private:
  int firstMs_;
  int lastMs_;
  int waitMs_;
  bool told_ = false;
  std::string lastWhy_;
};

}  // namespace hushcall::ringwatch
