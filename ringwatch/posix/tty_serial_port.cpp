#include "ringwatch/posix/tty_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "ringwatch/posix/errno_status.h"

namespace hushcall::ringwatch {
namespace {

constexpr std::int16_t kHighestPort = 255;
// One Input takes at most this much; what is left raises the next event.
constexpr std::size_t kMaxInputPerCall = 64 * 1024;
constexpr std::size_t kReadChunk = 4096;
// The Windows control's write timeout: a constant and a per-byte part.
constexpr std::int64_t kWriteTimeoutMs = 2000;
constexpr std::int64_t kWriteTimeoutPerByteMs = 2;

const Status kPortClosed = StatusFromErrno(EBADF);
const Status kPortBusy = StatusFromErrno(EBUSY);
// A hung-up tty reads end-of-file; its writes fail with EIO.
const Status kHungUp = StatusFromErrno(EIO);

}  // namespace

// ---- The open tty ----

TtySerialPort::Tty& TtySerialPort::Tty::operator=(Tty&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::move(other.fd_);
    exclusive_ = std::exchange(other.exclusive_, false);
  }
  return *this;
}

void TtySerialPort::Tty::Release() {
  if (!fd_) return;
  // Unsent output is dropped, so that closing never waits on a line that
  // does not take it.
  ::tcflush(fd_.get(), TCOFLUSH);
  if (exclusive_) ::ioctl(fd_.get(), TIOCNXCL);
  exclusive_ = false;
  fd_.reset();  // the lock goes with the only descriptor of its open file
}

// ---- The port ----

TtySerialPort::TtySerialPort(EventLoop& loop, std::string device)
    : loop_(loop), device_(std::move(device)) {}

TtySerialPort::~TtySerialPort() {
  handler_ = nullptr;
  Close();
}

void TtySerialPort::SetCommPort(std::int16_t port) {
  if (tty_) Fail(kPortBusy);
  if (device_.empty() && (port < 1 || port > kHighestPort)) Fail(kInvalidArg);
  port_ = port;
}

std::string TtySerialPort::Name() const { return Path(); }

std::string TtySerialPort::Path() const {
  if (!device_.empty()) return device_;
  return "/dev/ttyS" + std::to_string(port_ - 1);
}

TtySerialPort::Tty TtySerialPort::OpenTty() const {
  const std::string path = Path();
  posix::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) FailWithErrno();
  if (!::isatty(fd.get())) Fail(StatusFromErrno(ENOTTY));
  // The lock first: a device another program holds is left as it is, its
  // exclusivity included.
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    Fail(errno == EWOULDBLOCK ? kPortBusy : StatusFromErrno(errno));
  }
  Tty tty(std::move(fd));
  if (::ioctl(tty.get(), TIOCEXCL) != 0) FailWithErrno();
  tty.MarkExclusive();

  termios t{};
  if (::tcgetattr(tty.get(), &t) != 0) FailWithErrno();
  ::cfmakeraw(&t);
  t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  // A read returns at once with what waits, and poll() reports a single
  // character: no count is held back in the kernel.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::cfsetispeed(&t, B9600) != 0 || ::cfsetospeed(&t, B9600) != 0) FailWithErrno();
  if (::tcsetattr(tty.get(), TCSANOW, &t) != 0) FailWithErrno();
  // Nothing received before this session belongs to it (PurgeComm on
  // Windows).
  if (::tcflush(tty.get(), TCIFLUSH) != 0) FailWithErrno();
  return tty;
}

void TtySerialPort::SetPortOpen(bool open) {
  if (!open) {
    Close();
    return;
  }
  if (tty_) Fail(kPortBusy);
  Tty tty = OpenTty();
  tty_ = std::move(tty);
  pending_.clear();
  lineError_ = kOk;
  lossRaised_ = false;
  ++session_;
  try {
    UpdateWatch();
  } catch (...) {
    Close();
    throw;
  }
}

void TtySerialPort::Close() {
  // The watch before the descriptor, whose number may be reused at once.
  watch_.Reset();
  if (tty_) ++session_;
  tty_ = Tty();
  pending_.clear();
  lineError_ = kOk;
  lossRaised_ = false;
}

void TtySerialPort::SetRThreshold(std::int16_t threshold) {
  if (threshold < 0) Fail(kInvalidArg);
  threshold_ = threshold;
  // A line lost while events were off is raised now: the hung-up tty is
  // ready at once.
  UpdateWatch();
}

void TtySerialPort::SetOnComm(std::function<void()> handler) {
  handler_ = std::move(handler);
  UpdateWatch();
}

void TtySerialPort::UpdateWatch() {
  const bool wanted = tty_ && threshold_ > 0 && handler_ && !lossRaised_;
  if (!wanted) {
    watch_.Reset();
  } else if (!watch_) {
    watch_ = loop_.Add(tty_.get(), EPOLLIN, [this](std::uint32_t events) { OnReady(events); });
  }
}

void TtySerialPort::SetOutput(std::string_view text) {
  if (!tty_) Fail(kPortClosed);
  const std::int64_t deadline = loop_.NowMs() + kWriteTimeoutMs +
                                kWriteTimeoutPerByteMs * static_cast<std::int64_t>(text.size());
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(tty_.get(), text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) FailWithErrno();
    // The line is full: wait for room, within the bound.
    const std::int64_t left = deadline - loop_.NowMs();
    if (left <= 0) Fail(StatusFromErrno(ETIMEDOUT));
    pollfd room{tty_.get(), POLLOUT, 0};
    if (::poll(&room, 1, static_cast<int>(left)) < 0 && errno != EINTR) FailWithErrno();
  }
}

void TtySerialPort::ReadAvailable(std::string& text) {
  char chunk[kReadChunk];
  while (text.size() < kMaxInputPerCall) {
    const ssize_t n = ::read(tty_.get(), chunk, sizeof chunk);
    if (n > 0) {
      text.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) lineError_ = StatusFromErrno(errno);
      return;
    }
    // With VMIN = VTIME = 0 a read of nothing returns 0, and so does every
    // read of a hung-up tty: only the hang-up's POLLHUP tells them apart.
    pollfd line{tty_.get(), POLLIN, 0};
    if (::poll(&line, 1, 0) > 0 && (line.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      lineError_ = kHungUp;
    }
    return;
  }
}

std::string TtySerialPort::Input() {
  if (!tty_) Fail(kPortClosed);
  std::string text = std::exchange(pending_, std::string());
  if (lineError_ == kOk) ReadAvailable(text);
  if (text.empty() && lineError_ != kOk) Fail(lineError_);
  return text;
}

void TtySerialPort::WaitForInputOrMessage(int maxMs) {
  pollfd ready[2] = {{loop_.fd(), POLLIN, 0}, {tty_ ? tty_.get() : -1, POLLIN, 0}};
  ::poll(ready, 2, maxMs < 0 ? 0 : maxMs);
}

void TtySerialPort::OnReady(std::uint32_t events) {
  if (!tty_ || threshold_ <= 0) return;
  if ((events & (EPOLLHUP | EPOLLERR)) != 0) {
    // What the line still holds is raised before the loss.
    if (lineError_ == kOk) ReadAvailable(pending_);
    if (lineError_ == kOk) lineError_ = kHungUp;
    // A hung-up tty stays ready for good, and epoll reports a hang-up even
    // for a descriptor asked for no events: only removing it quiets it.
    watch_.Reset();
  }
  const std::weak_ptr<char> alive = alive_;
  const std::uint64_t session = session_;
  if (lineError_ == kOk || !pending_.empty()) {
    Raise();
    // The handler may have closed, reopened or destroyed the port.
    if (alive.expired() || session != session_) return;
  }
  if (lineError_ != kOk && !lossRaised_ && threshold_ > 0) {
    lossRaised_ = true;
    watch_.Reset();
    Raise();
  }
}

void TtySerialPort::Raise() {
  // A copy, because the handler may replace it or destroy this port.
  std::function<void()> handler = handler_;
  if (handler) handler();
}

}  // namespace hushcall::ringwatch
