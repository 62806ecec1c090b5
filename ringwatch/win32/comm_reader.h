// The serial control's reader thread: reads what arrives into the receive
// buffer, one read per burst, and tells the user-interface thread, paced by
// ArrivalPacing, through a posted notification. While the line is quiet it
// sleeps (in the read on Wine, in a wait for EV_RXCHAR on Windows) and costs
// nothing; once a read or wait fails, the line is lost: the thread tells so
// once and then only waits to be stopped.
//
// A posted notification can be lost without a trace: a message box's modal
// loop drops the message it has just taken when the box was answered in the
// same turn. Until a notification is received no other is posted, so the
// reader posts it again while it stays unreceived; otherwise the plug-in
// would hear neither ring nor hang-up again.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "common/win32/unique.h"
#include "ringwatch/win32/arrival_pacing.h"
#include "ringwatch/win32/comm_port_io.h"
#include "ringwatch/win32/receive_buffer.h"

namespace hushcall::ringwatch {

inline constexpr DWORD kReadChunkSize = 512;
// How soon a notification whose post failed is posted again.
inline constexpr DWORD kPostRetryMs = 50;
// How long the thread rests after a wait that ended without a character, so
// that a driver which keeps ending waits cannot make it spin.
inline constexpr DWORD kSpuriousWakeRestMs = 50;
// How long a posted notification may stay unreceived before it is posted
// again. A loaded user-interface thread may take longer: the extra message
// then finds nothing new and costs one look.
inline constexpr std::int64_t kRepostMs = 500;

class CommReader {
 public:
  // Posts one notification to the user-interface thread; false when the
  // system refused it.
  using Post = std::function<bool()>;

  // Starts reading the device behind `io`. Calls `post` on the reader
  // thread whenever the buffer holds notices and none is on its way.
  // Throws Failure if the thread can't start.
  CommReader(std::unique_ptr<CommPortIo> io, ReceiveBuffer& buffer, Post post);
  // Stops the thread and waits for it: its pending read or wait is
  // cancelled.
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
  // One overlapped read of what waits, up to `size` bytes.
  ReadResult Read(char* into, DWORD size);
  // Waits for the next character to arrive, for when a read found none.
  ReadResult AwaitCharacter();
  // Completes an overlapped operation this thread started (`error` is the
  // call's last error when it returned FALSE, else 0), telling what falls
  // due while it waits. The result's `got` is the operation's byte count.
  ReadResult Complete(DWORD error, OVERLAPPED& overlapped);
  // Cancels an operation that pends and waits until the system has let go
  // of its buffer and OVERLAPPED.
  void Abandon(OVERLAPPED& overlapped);
  void Tell(ReceiveNotices notices);
  // A wait's time ran out: tells the notices due and posts again a
  // notification that was never received.
  void TellWhatIsDue();
  void RepostIfUnreceived();
  // When the unreceived notification is to be posted again, if one is.
  std::optional<std::int64_t> RepostDueMs();
  DWORD WaitMs();
  // The line is gone: tell once, then wait for the stop without spinning.
  void LoseLine(DWORD error);

  std::unique_ptr<CommPortIo> io_;
  ReceiveBuffer& buffer_;
  Post post_;
  ArrivalPacing pacing_;
  bool retryPost_ = false;
  // The notification on its way that this thread watches, and since when.
  std::uint64_t watchedPost_ = 0;
  std::int64_t watchedSinceMs_ = 0;
  std::atomic<bool> stopping_{false};
  win32::unique_handle stop_;
  win32::unique_handle ioDone_;
  win32::unique_handle thread_;
};

}  // namespace hushcall::ringwatch
