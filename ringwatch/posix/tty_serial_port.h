// MSComm1 for the desktop service: a tty (a serial port, a USB modem's
// ttyACM, or a pty in the tests) opened raw at 9600 8N1 and watched by the
// service's EventLoop, so that OnComm runs from the loop as the Windows
// control's does from the message loop.
//
// Opening is exclusive: TIOCEXCL, and flock(LOCK_EX | LOCK_NB) on the
// device, the advisory lock that other modem programs (ModemManager,
// minicom, ...) take and honour. A device that someone else holds that way
// is in use, and opening fails.
//
// The OnComm contract, as on Windows (see ringwatch/win32/comm_control.h),
// with one difference that only makes events sooner: with a threshold n > 0
// OnComm is raised from the loop whenever the tty is readable, whatever the
// count, so that a tail below the threshold is never held back. The handler
// is expected to take the input; the tty is watched level-triggered. When
// the line is lost (the modem side hung up, the device went away), OnComm is
// raised once more after whatever was left has been raised, the tty is no
// longer watched, and Input throws the line's error. With threshold 0 the
// tty is not watched at all.
//
// Every member that cannot do its work throws Failure at once, carrying the
// errno (ringwatch/posix/errno_status.h). The port may be destroyed at any
// time, also from inside its own OnComm.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/posix/unique_fd.h"
#include "common/status.h"
#include "ringwatch/core/serial_port.h"
#include "ringwatch/posix/event_loop.h"

namespace hushcall::ringwatch {

class TtySerialPort final : public SerialPort {
 public:
  // Closed, on port 1, with no receive events. `device` is the tty's path
  // (a symlink to it will do); when empty, port n is /dev/ttyS<n-1>.
  TtySerialPort(EventLoop& loop, std::string device);
  ~TtySerialPort() override;
  TtySerialPort(const TtySerialPort&) = delete;
  TtySerialPort& operator=(const TtySerialPort&) = delete;

  // Fails (EBUSY) while the port is open. Without a device, 1..255 (else
  // kInvalidArg); with one, the number is kept but the device is used.
  void SetCommPort(std::int16_t port) override;
  // The path in use.
  std::string Name() const override;
  bool PortOpen() const override { return static_cast<bool>(tty_); }
  // Opening an open port fails (EBUSY); closing a closed one does nothing.
  // Closing drops unsent output, gives up the exclusivity and the lock.
  void SetPortOpen(bool open) override;
  // Negative values fail with kInvalidArg.
  void SetRThreshold(std::int16_t threshold) override;
  // Writes every byte; a full line is waited for, up to 2 s plus 2 ms a
  // byte, as the Windows control's write timeout. Fails while closed.
  void SetOutput(std::string_view text) override;
  // Everything that waits. Fails while closed, and once the line is lost
  // with nothing left to take.
  std::string Input() override;
  void SetOnComm(std::function<void()> handler) override;
  // poll() on the tty (while open) and on the loop's descriptor together.
  void WaitForInputOrMessage(int maxMs) override;

 private:
  // The open tty: closing it clears the exclusivity (which otherwise
  // outlives us while another descriptor keeps the tty alive) and releases
  // the lock with the descriptor.
  class Tty {
   public:
    Tty() = default;
    explicit Tty(posix::UniqueFd fd) : fd_(std::move(fd)) {}
    Tty(Tty&&) noexcept = default;
    Tty& operator=(Tty&& other) noexcept;
    ~Tty() { Release(); }
    int get() const { return fd_.get(); }
    explicit operator bool() const { return static_cast<bool>(fd_); }
    void MarkExclusive() { exclusive_ = true; }

   private:
    void Release();
    posix::UniqueFd fd_;
    bool exclusive_ = false;
  };

  std::string Path() const;
  Tty OpenTty() const;
  void Close();
  // Watches the tty while it is open, events are on, someone listens and
  // the loss has not been raised yet.
  void UpdateWatch();
  void OnReady(std::uint32_t events);
  // Reads what waits into `text` (bounded); a failed read or a hung-up
  // line sets lineError_.
  void ReadAvailable(std::string& text);
  void Raise();

  EventLoop& loop_;
  std::string device_;
  std::int16_t port_ = 1;
  std::int16_t threshold_ = 0;
  std::function<void()> handler_;
  Tty tty_;
  EventLoop::Watch watch_;
  // Read when the loss was noticed, not yet taken by Input.
  std::string pending_;
  Status lineError_ = kOk;  // the line is lost
  bool lossRaised_ = false;
  // Counts opens and closes, so that a raise can tell whether its handler
  // ended the session it was raised for.
  std::uint64_t session_ = 0;
  // Gone with this object, so that a raise can tell whether its handler
  // destroyed the port.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace hushcall::ringwatch
