#include "ringwatch/win32/comm_control.h"

#include <windows.h>

#include <string>

#include "common/status.h"
#include "common/win32/debug_trace.h"
#include "common/win32/unique.h"
#include "ringwatch/win32/comm_device.h"
#include "ringwatch/win32/comm_reader.h"
#include "ringwatch/win32/message_window.h"
#include "ringwatch/win32/receive_buffer.h"
#include "ringwatch/win32/receive_notices.h"

namespace hushcall::ringwatch {
namespace {

constexpr UINT kArrivalMessage = WM_APP + 1;
// Room for a full receive queue plus one read that arrives before it is taken.
constexpr std::size_t kBufferCapacity = kReceiveQueueSize + kReadChunkSize;
const Status kPortClosed = StatusFromWin32(ERROR_INVALID_HANDLE);
const Status kPortBusy = StatusFromWin32(ERROR_BUSY);

// Tells the control's window that the buffer holds notices; false when the
// system refused the post. Safe from the reader thread.
bool PostArrival(HWND window) { return ::PostMessageW(window, kArrivalMessage, 0, 0) != FALSE; }

}  // namespace

// Everything the control holds. Shared with its window, so that an OnComm
// handler that destroys the control leaves this alive until the window
// procedure has returned.
class CommControl::State final : public MessageSink {
 public:
  State() : buffer_(kBufferCapacity) {}

  void AttachWindow(std::unique_ptr<MessageWindow> window) { window_ = std::move(window); }

  // The control is going: nothing may reach the plug-in any more.
  void Shutdown() {
    Close();
    handler_ = nullptr;
    window_.reset();
  }

  void SetCommPort(std::int16_t port) {
    if (port < kLowestCommPort || port > kHighestCommPort) Fail(kInvalidArg);
    if (device_) Fail(kPortBusy);
    port_ = port;
  }

  std::string Name() const { return "COM" + std::to_string(port_); }
  bool IsOpen() const { return static_cast<bool>(device_); }

  void Open() {
    if (device_) Fail(kPortBusy);
    if (!window_) Fail(kUnexpected);
    win32::unique_hfile device = OpenCommDevice(port_);
    buffer_.Clear();
    lossRaised_ = false;
    ++session_;
    reader_ = std::make_unique<CommReader>(std::make_unique<DeviceIo>(device.get()), buffer_,
                                           [hwnd = window_->hwnd()] { return PostArrival(hwnd); });
    device_ = std::move(device);
  }

  void Close() {
    reader_.reset();  // joins the thread before its handle goes
    device_.reset();
    buffer_.Clear();
    ++session_;
  }

  void SetRThreshold(std::int16_t threshold) {
    if (threshold < 0) Fail(kInvalidArg);
    threshold_ = threshold;
    // A line lost while events were off is raised now, through the message
    // loop as every event is.
    if (threshold_ > 0 && device_ && !lossRaised_ && buffer_.LineError() != 0) NotifySelf(kLossNotice);
  }

  void Output(std::string_view text) {
    if (!device_) Fail(kPortClosed);
    WriteCommDevice(device_.get(), text);
  }

  std::string Input() {
    if (!device_) Fail(kPortClosed);
    std::string text = buffer_.Take();
    if (text.empty()) {
      if (DWORD error = buffer_.LineError()) Fail(StatusFromWin32(error));
    }
    return text;
  }

  void SetOnComm(std::function<void()> handler) { handler_ = std::move(handler); }

  void WaitForInputOrMessage(int maxMs) {
    HANDLE data = buffer_.BeginWait();
    ::MsgWaitForMultipleObjectsEx(1, &data, maxMs < 0 ? 0 : static_cast<DWORD>(maxMs), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
    buffer_.EndWait();
  }

  // The reader has told something: raise OnComm for the characters as
  // their notices allow, then once for a lost line.
  void OnMessage(UINT message, WPARAM, LPARAM) override {
    if (message != kArrivalMessage) return;
    const ReceiveNotices notices = buffer_.TakeNotices();
    win32::DebugTrace("control: notices %u, %lu waiting", notices, static_cast<unsigned long>(buffer_.Size()));
    if (!device_ || threshold_ <= 0) return;
    const int session = session_;
    if (RaisesForCharacters(notices, buffer_.Size(), threshold_)) {
      Raise();
      // The handler may have closed, reopened or destroyed the control.
      if (session != session_ || !device_) return;
    }
    if (lossRaised_ || buffer_.LineError() == 0) return;
    lossRaised_ = true;
    Raise();
  }

 private:
  void Raise() {
    // A copy, because the handler may replace or destroy the one stored here.
    std::function<void()> handler = handler_;
    if (handler) handler();
  }

  void NotifySelf(ReceiveNotices notices) {
    if (buffer_.AddNotices(notices) && !PostArrival(window_->hwnd())) buffer_.PostFailed();
  }

  int port_ = kLowestCommPort;
  std::int16_t threshold_ = 0;
  // Counts opens and closes, so that a raise can tell whether its handler
  // ended the session it was raised for.
  int session_ = 0;
  bool lossRaised_ = false;
  ReceiveBuffer buffer_;
  win32::unique_hfile device_;
  std::unique_ptr<CommReader> reader_;
  std::function<void()> handler_;
  std::unique_ptr<MessageWindow> window_;
};

CommControl::CommControl() : state_(std::make_shared<State>()) {
  state_->AttachWindow(std::make_unique<MessageWindow>(state_));
}

CommControl::~CommControl() { state_->Shutdown(); }

void CommControl::SetCommPort(std::int16_t port) { state_->SetCommPort(port); }
std::string CommControl::Name() const { return state_->Name(); }
bool CommControl::PortOpen() const { return state_->IsOpen(); }
void CommControl::SetPortOpen(bool open) {
  if (open) {
    state_->Open();
  } else {
    state_->Close();
  }
}
void CommControl::SetRThreshold(std::int16_t threshold) { state_->SetRThreshold(threshold); }
void CommControl::SetOutput(std::string_view text) { state_->Output(text); }
std::string CommControl::Input() { return state_->Input(); }
void CommControl::SetOnComm(std::function<void()> handler) { state_->SetOnComm(std::move(handler)); }
void CommControl::WaitForInputOrMessage(int maxMs) { state_->WaitForInputOrMessage(maxMs); }

}  // namespace hushcall::ringwatch
