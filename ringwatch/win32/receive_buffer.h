// The received characters that wait for Input, shared between the serial
// reader thread (which appends) and the user-interface thread (which takes).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "common/win32/unique.h"

namespace hushcall::ringwatch {

class ReceiveBuffer {
 public:
  // Keeps at most `capacity` characters: when more arrive than are taken,
  // the oldest go, so that the newest report still reaches the handler.
  explicit ReceiveBuffer(std::size_t capacity);
  ~ReceiveBuffer();
  ReceiveBuffer(const ReceiveBuffer&) = delete;
  ReceiveBuffer& operator=(const ReceiveBuffer&) = delete;

  // Reader side. Returns true when the caller should post an arrival
  // notification: none is pending yet.
  bool Append(std::string_view bytes);
  // The line failed (the modem side hung up); 0 clears it.
  void SetLineError(DWORD error);

  // User-interface side.
  std::string Take();
  std::size_t Size() const;
  DWORD LineError() const;
  // The pending notification has been received; the next arrival posts again.
  void NotificationReceived();
  // Drops everything: used when the port opens and closes.
  void Clear();

  // Signalled while characters wait (manual reset).
  HANDLE DataEvent() const { return dataEvent_.get(); }

 private:
  class Lock;

  std::size_t capacity_;
  mutable CRITICAL_SECTION lock_;
  std::string bytes_;
  DWORD lineError_ = 0;
  bool notificationPending_ = false;
  win32::unique_handle dataEvent_;
};

}  // namespace hushcall::ringwatch
