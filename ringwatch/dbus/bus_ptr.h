// sd-bus's reference-counted objects, each held by one move-only owner that
// drops its reference when it goes (sd-bus's _cleanup_ idea in C++ form).
#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace hushcall::ringwatch {

struct BusCloser {
  // Closes without flushing: a hung bus daemon must not hold up an exit.
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
struct SlotUnref {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};

using BusPtr = std::unique_ptr<sd_bus, BusCloser>;
// Dropping a slot cancels what it stands for: a pending call's reply
// handler or a match's handler is never called again.
using SlotPtr = std::unique_ptr<sd_bus_slot, SlotUnref>;
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

}  // namespace hushcall::ringwatch
