#include "ringwatch/win32/ring_timer.h"

#include <windows.h>

#include <algorithm>

#include "common/status.h"
#include "common/win32/debug_trace.h"
#include "ringwatch/win32/message_window.h"

namespace hushcall::ringwatch {
namespace {

constexpr UINT_PTR kTimerId = 1;
// A WM_TIMER may come a tick before the due time by GetTickCount64's
// reckoning; one that comes earlier than this is an expiry already raised.
constexpr UINT kMaxEarlyMs = 100;

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
    Arm();
    win32::DebugTrace("timer %u ms: started", intervalMs_);
  }

  // The system's timer keeps its own schedule, so an expiry raised here is
  // one it still hands out later: the timer starts its interval anew, and
  // OnMessage drops what comes before the new due time.
  void RaiseOverdue() {
    if (!enabled_ || ::GetTickCount64() < dueMs_) return;
    win32::DebugTrace("timer %u ms: expired, raised late", intervalMs_);
    Arm();
    std::function<void()> handler = handler_;
    if (handler) handler();
  }

  void SetOnTimer(std::function<void()> handler) { handler_ = std::move(handler); }

  void OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    if (message != WM_TIMER || wParam != kTimerId || !enabled_) return;
    const ULONGLONG now = ::GetTickCount64();
    if (now + std::min(intervalMs_ / 2, kMaxEarlyMs) < dueMs_) return;
    dueMs_ = now + intervalMs_;
    win32::DebugTrace("timer %u ms: expired", intervalMs_);
    // A copy, because the handler may replace or destroy the one stored here.
    std::function<void()> handler = handler_;
    if (handler) handler();
  }

 private:
  // (Re)starts the system's timer: setting it again counts from now.
  void Arm() {
    if (!::SetTimer(window_->hwnd(), kTimerId, intervalMs_, nullptr)) Fail(StatusFromWin32(::GetLastError()));
    enabled_ = true;
    dueMs_ = ::GetTickCount64() + intervalMs_;
  }

  void Stop() {
    // A stopped timer has nothing to kill: the call is spared on a call's
    // first ring, where it would delay the player's reaction.
    if (window_ && enabled_) ::KillTimer(window_->hwnd(), kTimerId);
    enabled_ = false;
  }

  UINT intervalMs_;
  bool enabled_ = false;
  ULONGLONG dueMs_ = 0;  // the next expiry, on GetTickCount64's clock
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
void RingTimer::RaiseOverdue() {
  // The handler may destroy this timer; its state stays for the call.
  const std::shared_ptr<State> state = state_;
  state->RaiseOverdue();
}

}  // namespace hushcall::ringwatch
