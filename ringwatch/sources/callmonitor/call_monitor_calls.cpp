// The call monitor's connection on the service's event loop: a lookup on
// its own thread, a non-blocking connect, the lines read as they come, and
// the retries in between.
#include "ringwatch/sources/callmonitor/call_monitor_calls.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/status.h"
#include "ringwatch/posix/errno_status.h"
#include "settings/settings.h"

namespace hushcall::ringwatch {
namespace {

// A read's worth; a busy router sends a line now and then.
constexpr std::size_t kReadBytes = 4096;

bool SetOption(int fd, int level, int name, int value) {
  return ::setsockopt(fd, level, name, &value, sizeof value) == 0;
}

std::string Lines(std::size_t n) { return n == 1 ? "1 line" : std::to_string(n) + " lines"; }

}  // namespace

std::string CallMonitorLostText(const std::string& where) {
  return "Hushcall lost the call monitor at " + where + ". It will watch again when it is back.";
}

CallMonitorCalls::CallMonitorCalls(EventLoop& loop, const ServiceSettings& settings,
                                   MessageBoxes& boxes, Log& log,
                                   std::function<void(const CallReport&)> report,
                                   std::function<void()> forget)
    : loop_(loop),
      address_(settings.callMonitor),
      where_(CallMonitorText(settings.callMonitor)),
      boxes_(boxes),
      log_(log),
      report_(std::move(report)),
      forget_(std::move(forget)),
      reader_(settings.numbers),
      timer_(loop, kCallMonitorFirstRetryMs) {
  timer_.SetOnTimer([this] { OnTimer(); });
}

CallMonitorCalls::~CallMonitorCalls() {
  timer_.SetOnTimer(nullptr);
  lookup_.reset();
  Close();
}

void CallMonitorCalls::Start() { Resolve(); }

void CallMonitorCalls::Arm(int ms) {
  timer_.SetIntervalMs(ms);
  timer_.SetEnabled(true);
}

void CallMonitorCalls::Close() {
  watch_.Reset();
  socket_.reset();
}

void CallMonitorCalls::Resolve() {
  state_ = State::kResolving;
  lookup_ = HostLookup::Start(loop_, address_.host, address_.port,
                              [this](int error, const std::vector<SocketAddress>& addresses) {
                                Resolved(error, addresses);
                              });
  if (lookup_ == nullptr || Failed(StatusOf([&] { Arm(kCallMonitorLookupMs); return kOk; })))
    WaitAndRetry("its name could not be looked up");
}

void CallMonitorCalls::Resolved(int error, const std::vector<SocketAddress>& addresses) {
  // Taken before the lookup goes, which holds them.
  std::vector<SocketAddress> found = addresses;
  const std::unique_ptr<HostLookup> done = std::move(lookup_);
  if (const std::string why = HostLookup::NotFound(error, found); !why.empty()) {
    WaitAndRetry(why);
    return;
  }
  addresses_ = std::move(found);
  next_ = 0;
  lastErrno_ = 0;
  ConnectNext();
}

void CallMonitorCalls::ConnectNext() {
  Close();
  while (next_ < addresses_.size()) {
    const SocketAddress& address = addresses_[next_++];
    posix::UniqueFd fd(
        ::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    // A router that is gone for good, rather than one that went quiet, is
    // noticed only by probing it.
    if (!fd || !SetOption(fd.get(), SOL_SOCKET, SO_KEEPALIVE, 1) ||
        !SetOption(fd.get(), IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS) ||
        !SetOption(fd.get(), IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS) ||
        !SetOption(fd.get(), IPPROTO_TCP, TCP_KEEPCNT, kKeepCount)) {
      lastErrno_ = errno;
      continue;
    }
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address.storage),
                  address.length) == 0) {
      socket_ = std::move(fd);
      Connected();
      return;
    }
    if (errno != EINPROGRESS) {
      lastErrno_ = errno;
      continue;
    }
    socket_ = std::move(fd);
    const Status status = StatusOf([&] {
      watch_ = loop_.Add(socket_.get(), EPOLLOUT, [this](std::uint32_t) { ConnectDone(); });
      return kOk;
    });
    if (Failed(status)) {
      lastErrno_ = ErrnoFromStatus(status);
      Close();
      continue;
    }
    state_ = State::kConnecting;
    Arm(kCallMonitorConnectMs);
    return;
  }
  WaitAndRetry(lastErrno_ == 0 ? std::string("it did not answer")
                         : std::string("it could not be reached (") + std::strerror(lastErrno_) + ")");
}

void CallMonitorCalls::ConnectDone() {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket_.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  if (error != 0) {
    lastErrno_ = error;
    ConnectNext();
    return;
  }
  Connected();
}

void CallMonitorCalls::Connected() {
  timer_.SetEnabled(false);
  // Gone first: epoll knows the socket by its descriptor, and the old
  // watch's removal would take the new one with it.
  watch_.Reset();
  const Status status = StatusOf([&] {
    watch_ = loop_.Add(socket_.get(), EPOLLIN, [this](std::uint32_t events) { Readable(events); });
    return kOk;
  });
  if (Failed(status)) {
    Close();
    WaitAndRetry("its connection could not be watched");
    return;
  }
  state_ = State::kConnected;
  log_.Line(retry_.told() || everConnected_
                ? "the call monitor at " + where_ + " is back; Hushcall watches it again"
                : "watching the call monitor at " + where_);
  retry_.Succeeded();
  everConnected_ = true;
}

void CallMonitorCalls::Readable(std::uint32_t events) {
  char buffer[kReadBytes];
  const ssize_t got = ::read(socket_.get(), buffer, sizeof buffer);
  if (got > 0) {
    Take(reader_.Feed(std::string_view(buffer, static_cast<std::size_t>(got))));
    return;
  }
  if (got < 0 && (errno == EAGAIN || errno == EINTR) && !(events & (EPOLLERR | EPOLLHUP))) return;
  const std::string why =
      got == 0 ? std::string("it closed the connection")
               : std::string("its connection failed (") + std::strerror(got < 0 ? errno : EIO) + ")";
  Close();
  reader_.Reset();
  // Its calls in progress went with it; how they end is not known.
  if (forget_) forget_();
  WaitAndRetry(why);
}

void CallMonitorCalls::Take(const CallMonitorReader::Read& read) {
  if (read.badLines != 0) {
    if (const std::size_t dropped = bad_.Drop(loop_.NowMs(), read.badLines)) {
      log_.Line("the call monitor at " + where_ + " sent " + Lines(dropped) +
                " that Hushcall cannot read, dropped (one: '" + read.firstBad + "')");
    }
  }
  for (const CallReport& report : read.reports) {
    const bool outgoing = report.direction == CallDirection::kOutgoing;
    if (report.phase == CallPhase::kRinging) {
      log_.Line("call monitor: " + std::string(outgoing ? "outgoing call " : "incoming call ") +
                report.id + (outgoing ? " is dialled from " : " rings on ") + report.line);
    } else if (report.phase == CallPhase::kEnded) {
      log_.Line("call monitor: call " + report.id + " has ended");
    }
    if (report_) report_(report);
  }
}

void CallMonitorCalls::WaitAndRetry(const std::string& why) {
  lookup_.reset();
  Close();
  state_ = State::kWaiting;
  if (retry_.NewReason(why)) {
    log_.Line("the call monitor at " + where_ + ": " + why + "; trying again in " +
              std::to_string(retry_.waitMs() / 1000) + " s, then less often");
  }
  const int wait = retry_.NextWaitMs();
  const Status status = StatusOf([&] {
    Arm(wait);
    return kOk;
  });
  if (Failed(status)) log_.Line("the call monitor at " + where_ + ": no timer to try again");
  if (retry_.TellOnce()) {
    boxes_.Show(CallMonitorLostText(where_), kProductName, kMbExclamationOk);
  }
}

void CallMonitorCalls::OnTimer() {
  timer_.SetEnabled(false);
  switch (state_) {
    case State::kResolving:
      WaitAndRetry("its name was not found within " + std::to_string(kCallMonitorLookupMs / 1000) +
             " s");
      break;
    case State::kConnecting:
      lastErrno_ = ETIMEDOUT;
      ConnectNext();
      break;
    case State::kWaiting:
      Resolve();
      break;
    case State::kConnected:
      break;
  }
}

}  // namespace hushcall::ringwatch
