// The serial control's reader thread: waits in an overlapped read, moves what
// arrives into the receive buffer and tells the user-interface thread by a
// posted message. While the line is quiet it sleeps in the read and costs
// nothing.
#pragma once

#include <windows.h>

#include "common/win32/unique.h"
#include "ringwatch/win32/receive_buffer.h"

namespace hushcall::ringwatch {

inline constexpr DWORD kReadChunkSize = 512;

class CommReader {
 public:
  // Starts reading `device` (opened for overlapped use). After a read that
  // brought characters, posts `message` to `window` unless a notification is
  // already pending. Throws Failure if the thread can't start.
  CommReader(HANDLE device, ReceiveBuffer& buffer, HWND window, UINT message);
  // Stops the thread and waits for it: its pending read is cancelled.
  ~CommReader();
  CommReader(const CommReader&) = delete;
  CommReader& operator=(const CommReader&) = delete;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  // Waits before the next read after a failed or empty one, so that a line
  // whose modem side hung up doesn't make the thread spin. False: stop.
  bool BackOff();

  HANDLE device_;
  ReceiveBuffer& buffer_;
  HWND window_;
  UINT message_;
  DWORD backoffMs_ = 0;
  win32::unique_handle stop_;
  win32::unique_handle readDone_;
  win32::unique_handle thread_;
};

}  // namespace hushcall::ringwatch
