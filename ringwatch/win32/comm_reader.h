// The serial control's reader thread: waits in an overlapped read, moves what
// arrives into the receive buffer and tells the user-interface thread, paced
// by ArrivalPacing, through a posted notification. While the line is quiet it
// sleeps in the read and costs nothing; once a read fails, the line is lost:
// the thread tells so once and then only waits to be stopped.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "common/win32/unique.h"
#include "ringwatch/win32/arrival_pacing.h"
#include "ringwatch/win32/receive_buffer.h"

namespace hushcall::ringwatch {

inline constexpr DWORD kReadChunkSize = 512;
// How soon a notification whose post failed is posted again.
inline constexpr DWORD kPostRetryMs = 50;

class CommReader {
 public:
  // Posts one notification to the user-interface thread; false when the
  // system refused it.
  using Post = std::function<bool()>;

  // Starts reading `device` (opened for overlapped use). Calls `post` on the
  // reader thread whenever the buffer holds notices and none is on its way.
  // Throws Failure if the thread can't start.
  CommReader(HANDLE device, ReceiveBuffer& buffer, Post post);
  // Stops the thread and waits for it: its pending read is cancelled.
  ~CommReader();
  CommReader(const CommReader&) = delete;
  CommReader& operator=(const CommReader&) = delete;

 private:
  enum class Outcome { kRead, kFailed, kStopped };
  struct ReadResult {
    Outcome outcome;
    DWORD got = 0;
    DWORD error = 0;
  };

  static DWORD WINAPI ThreadMain(void* self);
  void Run();
  // One overlapped read of up to `size` bytes, telling what falls due while
  // it waits.
  ReadResult Read(char* into, DWORD size);
  // How many received bytes wait in the device, at most `room`.
  DWORD Waiting(DWORD room) const;
  void Tell(ReceiveNotices notices);
  void TellWhatIsDue();
  DWORD WaitMs() const;
  // The line is gone: tell once, then wait for the stop without spinning.
  void LoseLine(DWORD error);

  HANDLE device_;
  ReceiveBuffer& buffer_;
  Post post_;
  ArrivalPacing pacing_;
  bool retryPost_ = false;
  std::atomic<bool> stopping_{false};
  win32::unique_handle stop_;
  win32::unique_handle readDone_;
  win32::unique_handle thread_;
};

}  // namespace hushcall::ringwatch
