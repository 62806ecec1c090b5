#include "ringwatch/win32/ring_timer.h"

#include <windows.h>

#include "common/status.h"
#include "common/win32/debug_trace.h"
#include "ringwatch/win32/message_window.h"

namespace hushcall::ringwatch {
namespace {

constexpr UINT_PTR kTimerId = 1;

}  // namespace

// Shared with the hidden window so that an expiry handler that destroys the
// timer leaves this alive until the window procedure has returned.
class RingTimer::State final : public MessageSink {
 public:
  explicit State(int intervalMs) : intervalMs_(intervalMs < 1 ? 1 : static_cast<UINT>(intervalMs)) {}

  void AttachWindow(std::unique_ptr<MessageWindow> window) { window_ = std::move(window); }

  void Shutdown() {
    Stop();
    handler_ = nullptr;
    window_.reset();
  }

  bool Enabled() const { return enabled_; }

  void SetEnabled(bool enabled) {
    if (!window_) Fail(kUnexpected);
    // Killing first makes a start of a running timer count the interval anew.
    Stop();
    if (!enabled) return;
    if (!::SetTimer(window_->hwnd(), kTimerId, intervalMs_, nullptr)) Fail(StatusFromWin32(::GetLastError()));
    enabled_ = true;
    win32::DebugTrace("timer %u ms: started", intervalMs_);
  }

  void SetOnTimer(std::function<void()> handler) { handler_ = std::move(handler); }

  void OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    if (message != WM_TIMER || wParam != kTimerId || !enabled_) return;
    win32::DebugTrace("timer %u ms: expired", intervalMs_);
    // A copy, because the handler may replace or destroy the one stored here.
    std::function<void()> handler = handler_;
    if (handler) handler();
  }

 private:
  void Stop() {
    // A stopped timer has nothing to kill: the call is spared on a call's
    // first ring, where it would delay the player's reaction.
    if (window_ && enabled_) ::KillTimer(window_->hwnd(), kTimerId);
    enabled_ = false;
  }

  UINT intervalMs_;
  bool enabled_ = false;
  std::function<void()> handler_;
  std::unique_ptr<MessageWindow> window_;
};

RingTimer::RingTimer(int intervalMs) : state_(std::make_shared<State>(intervalMs)) {
  state_->AttachWindow(std::make_unique<MessageWindow>(state_));
}

RingTimer::~RingTimer() { state_->Shutdown(); }

bool RingTimer::Enabled() const { return state_->Enabled(); }
void RingTimer::SetEnabled(bool enabled) { state_->SetEnabled(enabled); }
void RingTimer::SetOnTimer(std::function<void()> handler) { state_->SetOnTimer(std::move(handler)); }

}  // namespace hushcall::ringwatch
