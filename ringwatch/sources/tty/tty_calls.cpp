#include "ringwatch/sources/tty/tty_calls.h"

#include <string>
#include <utility>

namespace hushcall::ringwatch {

TtyCalls::TtyCalls(EventLoop& loop, std::string tty, const Settings& settings, bool callerId,
                   MessageBoxes& boxes, Log& log, std::function<void(const CallReport&)> report)
    : record_(settings), report_(std::move(report)) {
  record_.Popup = false;
  components_ = std::make_unique<PosixComponents>(loop, std::move(tty));
  watch_ = std::make_unique<WatchComponents>(*components_, &log);
  CallReaction& rings = *this;
  ring_ = std::make_unique<ModRing>(record_, *watch_, boxes, rings, loop);
  watch_->SetRingWatch(ring_.get());
  if (callerId) {
    session_ = std::make_unique<CallerIdSession>(
        log, [this](const ModemCallerId& caller) { Caller(caller); });
    ring_->SetSession(session_.get());
  }
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
  Tell({});
}

void TtyCalls::FurtherRing() { Tell({}); }

void TtyCalls::Caller(const ModemCallerId& caller) {
  // Caller ID follows a ring: none yet means it belongs to no call heard.
  if (call_ == 0) return;
  CallReport report;
  report.number = caller.number;
  report.name = caller.name;
  Tell(std::move(report));
}

void TtyCalls::Tell(CallReport report) {
  report.source = kTtySource;
  report.id = std::to_string(call_);
  report.endKnown = false;
  if (report_) report_(report);
}

}  // namespace hushcall::ringwatch
