// The ring watch's components without a dialog: on Windows the options
// dialog carries MSComm1, tmrRING and tmrRetry and forwards their events to
// the ring watch (options/core/frm_options.cpp); the desktop service has no
// dialog, and this holds them instead.
//
// Load() makes the port (closed) and both timers (stopped) and wires their
// events to the ring watch; unlike the dialog's load it does not start the
// watch: the service calls ModRing::InitModemQuietly itself, as nobody is
// there to answer InitModem's questions. Every event handler catches
// everything: a failure ends that event (and is logged when a Log is
// given), nothing escapes into the loop. There is no window: Visible() is
// false, ShowModal() and Hide() return at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "ringwatch/core/components.h"
#include "ringwatch/core/options_dialog.h"
#include "ringwatch/core/ring_watch.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/core/timer.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch {

class WatchComponents final : public OptionsDialog {
 public:
  // The factory, and the log when given, must outlive this object.
  explicit WatchComponents(ComponentFactory& factory, Log* log = nullptr)
      : factory_(factory), log_(log) {}
  ~WatchComponents() override;
  WatchComponents(const WatchComponents&) = delete;
  WatchComponents& operator=(const WatchComponents&) = delete;

  // Where the components' events go; may be null (they are then dropped).
  void SetRingWatch(RingWatch* watch) { watch_ = watch; }

  bool Loaded() const override { return loaded_; }
  // Makes the components; no effect when loaded. Throws the factory's
  // Failure, with nothing left made.
  void Load() override;
  void ShowModal() override {}
  // Destroys the timers, then the port (which closes). No effect when not
  // loaded. Safe from inside the components' own events.
  void Unload() override;
  bool Visible() const override { return false; }
  void Hide() override {}

  SerialPort* Port() override { return port_.get(); }
  Timer* RingTimer() override { return ringTimer_.get(); }
  Timer* RetryTimer() override { return retryTimer_.get(); }
  std::uint64_t LoadGeneration() const override { return generation_; }

 private:
  void DestroyComponents() noexcept;
  // Runs one event's handler; whatever it throws ends there.
  template <class Handler>
  void Deliver(std::string_view event, Handler&& handler) noexcept;
  void LogFailure(std::string_view event, std::string_view why) noexcept;

  ComponentFactory& factory_;
  Log* log_;
  RingWatch* watch_ = nullptr;
  std::unique_ptr<SerialPort> port_;
  std::unique_ptr<Timer> ringTimer_;
  std::unique_ptr<Timer> retryTimer_;
  bool loaded_ = false;
  std::uint64_t generation_ = 0;
};

}  // namespace hushcall::ringwatch
