// Pending calls, each erased before its handler runs.
#include "ringwatch/dbus/pending_calls.h"

#include <utility>

namespace hushcall::ringwatch {

void PendingCalls::Call(MessagePtr call, std::uint64_t timeoutUs, MessageHandler onReply) {
  const std::uint64_t id = next_++;
  calls_[id] = bus_.CallAsync(std::move(call), timeoutUs,
                              [this, id, onReply = std::move(onReply)](sd_bus_message& reply) {
                                // Out of the set before the handler runs: it
                                // may end this set's owner. The slot itself
                                // lives to the end of this frame.
                                const auto it = calls_.find(id);
                                if (it == calls_.end()) return;
                                const Slot done = std::move(it->second);
                                calls_.erase(it);
                                onReply(reply);
                              });
}

}  // namespace hushcall::ringwatch
