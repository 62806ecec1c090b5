// One D-Bus connection of the desktop service, the session bus or the
// system bus, driven by our EventLoop: its descriptor watched for the
// events sd-bus asks for, a timerfd armed at sd-bus's next deadline (none
// while idle, so an idle service makes no wake-ups), and sd_bus_process run
// after each of their events until it has nothing left to do. Calls and
// matches hand their messages to C++ handlers; nothing here ever waits for
// another program.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "common/posix/unique_fd.h"
#include "ringwatch/dbus/bus_ptr.h"
#include "ringwatch/posix/event_loop.h"
#include "ringwatch/posix/log.h"

namespace hushcall::ringwatch {

// Every call the service makes gives up after this long: a hung peer
// delays nothing for more than half a second.
inline constexpr std::uint64_t kCallTimeoutUs = 500000;

// The standard interface every service reads its properties through.
inline constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";

enum class BusKind {
  kSession,  // the user's bus: DBUS_SESSION_BUS_ADDRESS, else $XDG_RUNTIME_DIR/bus
  kSystem,   // DBUS_SYSTEM_BUS_ADDRESS, else the system's well-known socket
};

// Gets each message of a call's reply or of a match. The message is only
// borrowed. Whatever the handler throws is caught and logged.
using MessageHandler = std::function<void(sd_bus_message& message)>;

namespace detail {
struct BusHandler;
}  // namespace detail

// A pending call or an installed match, with its handler. Dropping it
// cancels: the handler is never called again, even when dropped from inside
// that handler.
class Slot {
 public:
  Slot() = default;
  ~Slot() { Reset(); }
  Slot(Slot&& other) noexcept = default;
  Slot& operator=(Slot&& other) noexcept;
  Slot(const Slot&) = delete;
  Slot& operator=(const Slot&) = delete;
  explicit operator bool() const { return slot_ != nullptr; }
  void Reset();

 private:
  friend class Bus;
  // Declared first, so destroyed after the slot that points to it.
  std::shared_ptr<detail::BusHandler> handler_;
  SlotPtr slot_;
};

class Bus {
 public:
  // Connects and attaches the connection to `loop`. `onLost` runs once when
  // the connection ends (the bus daemon went away or closed it), after the
  // log says so; it may quit the loop, but must not destroy the Bus.
  // Throws Failure, after a log line naming the bus and the reason, when no
  // connection can be opened.
  Bus(EventLoop& loop, BusKind kind, Log& log, std::function<void()> onLost);
  ~Bus();
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  sd_bus* get() const { return bus_.get(); }
  EventLoop& loop() const { return loop_; }
  Log& log() const { return log_; }
  // "session bus" or "system bus", for log lines.
  std::string_view name() const;
  bool lost() const { return lost_; }

  // A new method call, for the caller to append its arguments to and hand
  // to CallAsync. Throws Failure.
  MessagePtr NewMethodCall(std::string_view destination, std::string_view path,
                           std::string_view interface, std::string_view member);

  // Sends `call` and returns at once. `onReply` gets the reply, or the
  // error that sd-bus makes up when none came within `timeoutUs` or the
  // connection closed first. Throws Failure (after a log line) when the
  // call cannot be queued.
  [[nodiscard]] Slot CallAsync(MessagePtr call, std::uint64_t timeoutUs, MessageHandler onReply);

  // Asks the bus daemon for the messages that match `rule` without waiting
  // for its answer (a refusal is logged); `onMessage` gets each of them.
  // Throws Failure.
  [[nodiscard]] Slot Match(std::string_view rule, MessageHandler onMessage);

  // How many times the loop has woken this connection, for the tests of an
  // idle service.
  std::uint64_t wakeups() const { return wakeups_; }

 private:
  static int Dispatch(sd_bus_message* message, void* userdata, sd_bus_error* error) noexcept;
  static int MatchInstalled(sd_bus_message* reply, void* userdata, sd_bus_error* error) noexcept;
  Slot Adopt(sd_bus_slot* slot, std::shared_ptr<detail::BusHandler> handler);
  // The loop woke us: run sd_bus_process until it is done, then re-arm.
  void OnReady();
  // Watches for what sd-bus waits for now: its events and its deadline.
  void Rearm();
  void Lose(std::string_view why);

  EventLoop& loop_;
  Log& log_;
  const BusKind kind_;
  std::function<void()> onLost_;
  BusPtr bus_;
  posix::UniqueFd timer_;
  EventLoop::Watch busWatch_;
  EventLoop::Watch timerWatch_;
  Slot disconnected_;
  bool processing_ = false;  // inside OnReady: sd_bus_process is not re-entrant
  bool lost_ = false;
  std::uint64_t wakeups_ = 0;
};

}  // namespace hushcall::ringwatch
