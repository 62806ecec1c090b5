#include "ringwatch/win32/comm_control.h"

#include <windows.h>

#include "common/status.h"
#include "common/win32/unique.h"
#include "ringwatch/win32/comm_device.h"
#include "ringwatch/win32/comm_reader.h"
#include "ringwatch/win32/message_window.h"
#include "ringwatch/win32/receive_buffer.h"

namespace hushcall::ringwatch {
namespace {

constexpr UINT kArrivalMessage = WM_APP + 1;
// Room for a full receive queue plus one read that arrives before it is taken.
constexpr std::size_t kBufferCapacity = kReceiveQueueSize + kReadChunkSize;
const Status kPortClosed = StatusFromWin32(ERROR_INVALID_HANDLE);
const Status kPortBusy = StatusFromWin32(ERROR_BUSY);

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

  bool IsOpen() const { return static_cast<bool>(device_); }

  void Open() {
    if (device_) Fail(kPortBusy);
    if (!window_) Fail(kUnexpected);
    win32::unique_hfile device = OpenCommDevice(port_);
    buffer_.Clear();
    reader_ = std::make_unique<CommReader>(device.get(), buffer_, window_->hwnd(), kArrivalMessage);
    device_ = std::move(device);
  }

  void Close() {
    reader_.reset();  // joins the thread before its handle goes
    device_.reset();
    buffer_.Clear();
  }

  void SetRThreshold(std::int16_t threshold) {
    if (threshold < 0) Fail(kInvalidArg);
    threshold_ = threshold;
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
    HANDLE data = buffer_.DataEvent();
    ::MsgWaitForMultipleObjectsEx(1, &data, maxMs < 0 ? 0 : static_cast<DWORD>(maxMs), QS_ALLINPUT,
                                  MWMO_INPUTAVAILABLE);
  }

  // Characters arrived: raise OnComm once enough of them wait.
  void OnMessage(UINT message, WPARAM, LPARAM) override {
    if (message != kArrivalMessage) return;
    buffer_.NotificationReceived();
    if (!device_ || threshold_ <= 0) return;
    if (buffer_.Size() < static_cast<std::size_t>(threshold_)) return;
    // A copy, because the handler may replace or destroy the one stored here.
    std::function<void()> handler = handler_;
    if (handler) handler();
  }

 private:
  int port_ = kLowestCommPort;
  std::int16_t threshold_ = 0;
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
