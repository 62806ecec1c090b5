#include "ringwatch/sources/tty/tty_calls.h"

#include <string>
#include <utility>

namespace hushcall::ringwatch {

TtyCalls::TtyCalls(EventLoop& loop, std::string tty, const Settings& settings,
                   MessageBoxes& boxes, Log& log, std::function<void(const CallReport&)> report)
    : record_(settings), report_(std::move(report)) {
  record_.Popup = false;
  components_ = std::make_unique<PosixComponents>(loop, std::move(tty));
  watch_ = std::make_unique<WatchComponents>(*components_, &log);
  CallReaction& rings = *this;
  ring_ = std::make_unique<ModRing>(record_, *watch_, boxes, rings, loop);
  watch_->SetRingWatch(ring_.get());
}

TtyCalls::~TtyCalls() {
  // The port and timers go first: their events call into the ring watch.
  watch_->Unload();
}

void TtyCalls::Start() {
  watch_->Load();
  ring_->InitModemQuietly();
}

void TtyCalls::FirstRing() {
  ++call_;
  Tell();
}

void TtyCalls::FurtherRing() { Tell(); }

void TtyCalls::Tell() {
  CallReport report;
  report.source = kTtySource;
  report.id = std::to_string(call_);
  report.endKnown = false;
  if (report_) report_(report);
}

}  // namespace hushcall::ringwatch
