// The connection on our event loop, and the C++ handlers of its callbacks.
#include "ringwatch/dbus/bus.h"

#include <poll.h>
#include <sys/timerfd.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/status.h"

namespace hushcall::ringwatch {

namespace detail {

// What a slot's userdata points to. Shared, so that a handler that drops
// its own slot still runs to its end.
struct BusHandler : std::enable_shared_from_this<BusHandler> {
  BusHandler(Bus& bus, std::string what, MessageHandler onMessage)
      : bus(bus), what(std::move(what)), onMessage(std::move(onMessage)) {}
  Bus& bus;
  std::string what;  // for log lines: the call or the match rule
  MessageHandler onMessage;
};

}  // namespace detail

namespace {

constexpr const char* kDisconnectedRule =
    "type='signal',path='/org/freedesktop/DBus/Local',"
    "interface='org.freedesktop.DBus.Local',member='Disconnected'";

std::string ErrnoText(int negativeErrno) { return std::strerror(-negativeErrno); }

// "interface.Member of destination", for log lines.
std::string Describe(sd_bus_message& call) {
  const auto text = [](const char* part) { return std::string(part ? part : ""); };
  return text(sd_bus_message_get_interface(&call)) + "." + text(sd_bus_message_get_member(&call)) +
         " of " + text(sd_bus_message_get_destination(&call));
}

}  // namespace

Slot& Slot::operator=(Slot&& other) noexcept {
  if (this != &other) {
    Reset();
    slot_ = std::move(other.slot_);
    handler_ = std::move(other.handler_);
  }
  return *this;
}

void Slot::Reset() {
  slot_.reset();
  handler_.reset();
}

Bus::Bus(EventLoop& loop, BusKind kind, Log& log, std::function<void()> onLost)
    : loop_(loop), log_(log), kind_(kind), onLost_(std::move(onLost)) {
  sd_bus* raw = nullptr;
  const int r = kind == BusKind::kSession ? sd_bus_open_user(&raw) : sd_bus_open_system(&raw);
  if (r < 0) {
    log_.Line("Hushcall cannot connect to the " + std::string(name()) + ": " + ErrnoText(r));
    Fail(kFail);
  }
  bus_.reset(raw);
  timer_.reset(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC));
  if (!timer_) Fail(kFail);
  // sd-bus raises this local signal when the connection ends; a failing
  // sd_bus_process says the same.
  disconnected_ =
      Match(kDisconnectedRule, [this](sd_bus_message&) { Lose("the connection was closed"); });
  const int fd = sd_bus_get_fd(bus_.get());
  if (fd < 0) Fail(kFail);
  busWatch_ = loop_.Add(fd, 0, [this](std::uint32_t) { OnReady(); });
  timerWatch_ = loop_.Add(timer_.get(), EPOLLIN, [this](std::uint32_t) {
    std::uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t n = ::read(timer_.get(), &expirations, sizeof expirations);
    OnReady();
  });
  Rearm();
}

Bus::~Bus() {
  busWatch_.Reset();
  timerWatch_.Reset();
  disconnected_.Reset();
}

std::string_view Bus::name() const {
  return kind_ == BusKind::kSession ? "session bus" : "system bus";
}

MessagePtr Bus::NewMethodCall(std::string_view destination, std::string_view path,
                              std::string_view interface, std::string_view member) {
  const std::string d(destination), p(path), i(interface), m(member);
  sd_bus_message* raw = nullptr;
  const int r =
      sd_bus_message_new_method_call(bus_.get(), &raw, d.c_str(), p.c_str(), i.c_str(), m.c_str());
  if (r < 0) Fail(kFail);
  return MessagePtr(raw);
}

Slot Bus::Adopt(sd_bus_slot* slot, std::shared_ptr<detail::BusHandler> handler) {
  Slot result;
  result.handler_ = std::move(handler);
  result.slot_.reset(slot);
  return result;
}

Slot Bus::CallAsync(MessagePtr call, std::uint64_t timeoutUs, MessageHandler onReply) {
  auto handler = std::make_shared<detail::BusHandler>(*this, Describe(*call), std::move(onReply));
  sd_bus_slot* slot = nullptr;
  const int r =
      sd_bus_call_async(bus_.get(), &slot, call.get(), &Bus::Dispatch, handler.get(), timeoutUs);
  if (r < 0) {
    log_.Line("Hushcall could not call " + handler->what + " on the " + std::string(name()) + ": " +
              ErrnoText(r));
    Fail(kFail);
  }
  Slot result = Adopt(slot, std::move(handler));
  Rearm();
  return result;
}

Slot Bus::Match(std::string_view rule, MessageHandler onMessage) {
  auto handler =
      std::make_shared<detail::BusHandler>(*this, std::string(rule), std::move(onMessage));
  sd_bus_slot* slot = nullptr;
  const int r = sd_bus_add_match_async(bus_.get(), &slot, handler->what.c_str(), &Bus::Dispatch,
                                       &Bus::MatchInstalled, handler.get());
  if (r < 0) {
    log_.Line("Hushcall could not watch the " + std::string(name()) + " for " + handler->what +
              ": " + ErrnoText(r));
    Fail(kFail);
  }
  Slot result = Adopt(slot, std::move(handler));
  Rearm();
  return result;
}

int Bus::Dispatch(sd_bus_message* message, void* userdata, sd_bus_error*) noexcept {
  auto* raw = static_cast<detail::BusHandler*>(userdata);
  try {
    const std::shared_ptr<detail::BusHandler> handler = raw->shared_from_this();
    try {
      handler->onMessage(*message);
    } catch (...) {
      handler->bus.log_.Line("Hushcall skipped a message it could not read (" + handler->what +
                             ")");
    }
  } catch (...) {
    // Nothing crosses into sd-bus; not even a failing log line.
  }
  // 0: other matches of the same message still get it.
  return 0;
}

int Bus::MatchInstalled(sd_bus_message* reply, void* userdata, sd_bus_error*) noexcept {
  try {
    auto* handler = static_cast<detail::BusHandler*>(userdata);
    if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
      handler->bus.log_.Line("The " + std::string(handler->bus.name()) + " refused to pass on " +
                             handler->what + ": " + (error->name ? error->name : "") + " " +
                             (error->message ? error->message : ""));
    }
  } catch (...) {
  }
  return 0;
}

void Bus::OnReady() {
  ++wakeups_;
  // A nested round of the loop may wake us from inside one of our own
  // handlers: the outer round goes on processing.
  if (processing_ || lost_) return;
  processing_ = true;
  int r = 0;
  do {
    r = sd_bus_process(bus_.get(), nullptr);
  } while (r > 0 && !lost_);
  processing_ = false;
  if (r < 0 && !lost_) Lose(ErrnoText(r));
  Rearm();
}

void Bus::Rearm() {
  if (processing_ || lost_) return;
  itimerspec when{};
  const int events = sd_bus_get_events(bus_.get());
  if (events < 0) {
    // Closing: sd_bus_process must run once more to say so. Soon, not now:
    // this may be a caller's frame, not the loop's.
    when.it_value.tv_nsec = 1;
  } else {
    std::uint32_t wanted = 0;
    if (events & POLLIN) wanted |= EPOLLIN;
    if (events & POLLOUT) wanted |= EPOLLOUT;
    busWatch_.SetEvents(wanted);
    std::uint64_t deadlineUs = UINT64_MAX;
    if (sd_bus_get_timeout(bus_.get(), &deadlineUs) < 0) deadlineUs = 0;
    if (deadlineUs != UINT64_MAX) {
      when.it_value.tv_sec = static_cast<time_t>(deadlineUs / 1000000);
      when.it_value.tv_nsec = static_cast<long>(deadlineUs % 1000000) * 1000;
      // Zero would disarm: "at once" is any moment already past.
      if (when.it_value.tv_sec == 0 && when.it_value.tv_nsec == 0) when.it_value.tv_nsec = 1;
    }
  }
  // All zero: disarmed, no wake-up.
  ::timerfd_settime(timer_.get(), TFD_TIMER_ABSTIME, &when, nullptr);
}

void Bus::Lose(std::string_view why) {
  if (lost_) return;
  lost_ = true;
  // Nothing more to wait for: a closed socket would wake the loop forever.
  busWatch_.Reset();
  timerWatch_.Reset();
  log_.Line("Hushcall lost the " + std::string(name()) + " (" + std::string(why) + ")");
  if (onLost_) onLost_();
}

}  // namespace hushcall::ringwatch
