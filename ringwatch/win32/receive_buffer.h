// The received characters that wait for Input, shared between the serial
// reader thread (which appends) and the user-interface thread (which takes).
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/win32/unique.h"
#include "ringwatch/win32/receive_notices.h"

namespace hushcall::ringwatch {

class ReceiveBuffer {
 public:
  // Keeps at most `capacity` characters: when more arrive than are taken,
  // the oldest go, so that the newest report still reaches the handler.
  explicit ReceiveBuffer(std::size_t capacity);
  ~ReceiveBuffer();
  ReceiveBuffer(const ReceiveBuffer&) = delete;
  ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;

  // Reader side.
  void Append(std::string_view bytes);
  // The line failed (the modem side hung up); Input reports it once nothing
  // is left to take.
  void SetLineError(DWORD error);
  // Adds notices for the user-interface thread. True when the caller must
  // post a notification: there are notices and none is on its way.
  bool AddNotices(ReceiveNotices notices);
  // The post failed: the notices stay, and the next AddNotices posts again.
  void PostFailed();
  // The notification on its way, numbered afresh by each AddNotices that
  // asks for a post; 0 when none is. A message loop may drop a posted
  // message unseen, so the reader watches for one that is never received.
  std::uint64_t PostOnItsWay() const;

  // User-interface side.
  // Around a wait for characters: the event is signalled at once when
  // characters or a line error wait, and by arrivals while the wait is on.
  // Outside such waits arrivals leave it alone, which spares a call into
  // the system (a round trip to Wine's server) on every arrival.
  HANDLE BeginWait();
  void EndWait();
  std::string Take();
  std::size_t Size() const;
  DWORD LineError() const;
  // The notification has been received: its notices, cleared, so that what
  // arrives from now on is posted anew.
  ReceiveNotices TakeNotices();
  // Drops everything: used when the port opens and closes.
  void Clear();

 private:
  class Lock;

  std::size_t capacity_;
  mutable CRITICAL_SECTION lock_;
  std::string bytes_;
  DWORD lineError_ = 0;
  ReceiveNotices notices_ = 0;
  bool posted_ = false;
  std::uint64_t posts_ = 0;
  bool waitOn_ = false;
  win32::unique_handle dataEvent_;
};

}  // namespace hushcall::ringwatch
