// The calls of one owner still waiting for their replies: each is
// forgotten once answered, and whatever is still waiting is cancelled with
// the owner, so no reply ever reaches an owner that is gone.
#pragma once

#include <cstdint>
#include <map>

#include "ringwatch/dbus/bus.h"

namespace hushcall::ringwatch {

class PendingCalls {
 public:
  explicit PendingCalls(Bus& bus) : bus_(bus) {}
  PendingCalls(const PendingCalls&) = delete;
  PendingCalls& operator=(const PendingCalls&) = delete;

  // Bus::CallAsync, held here until its reply (or its made-up error) has
  // come. `onReply` may clear these calls, or destroy their owner.
  void Call(MessagePtr call, std::uint64_t timeoutUs, MessageHandler onReply);
  // Cancels every call still waiting: their handlers never run.
  void Clear() { calls_.clear(); }
  bool empty() const { return calls_.empty(); }

 private:
  Bus& bus_;
  std::map<std::uint64_t, Slot> calls_;
  std::uint64_t next_ = 0;
};

}  // namespace hushcall::ringwatch
