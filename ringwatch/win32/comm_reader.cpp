#include "ringwatch/win32/comm_reader.h"

#include <algorithm>
#include <string_view>

#include "common/status.h"
#include "common/win32/debug_trace.h"

namespace hushcall::ringwatch {
namespace {

win32::unique_handle NewEvent() {
  win32::unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) Fail(StatusFromWin32(::GetLastError()));
  return event;
}

// Milliseconds of a monotonic clock finer than the system tick.
// Asks for the frequency each time: it runs on the reader thread, where a
// function-local static would race without a guard.
std::int64_t NowMs() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER count;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&count);
  const LONGLONG f = frequency.QuadPart;
  return count.QuadPart / f * 1000 + count.QuadPart % f * 1000 / f;
}

// 0 when the call completed at once, else its last error.
DWORD StartError(BOOL started) { return started ? 0 : ::GetLastError(); }

}  // namespace

CommReader::CommReader(std::unique_ptr<CommPortIo> io, ReceiveBuffer& buffer, Post post)
    : io_(std::move(io)), buffer_(buffer), post_(std::move(post)), stop_(NewEvent()), ioDone_(NewEvent()) {
  thread_.reset(::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
  if (!thread_) Fail(StatusFromWin32(::GetLastError()));
}

CommReader::~CommReader() {
  stopping_.store(true);
  ::SetEvent(stop_.get());
  ::WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI CommReader::ThreadMain(void* self) {
  auto* reader = static_cast<CommReader*>(self);
  try {
    reader->Run();
  } catch (...) {
    // Out of memory for the buffer, say: a reader that stops must say so,
    // as a lost line, or the plug-in would wait for rings that never come.
    reader->LoseLine(ERROR_NOT_ENOUGH_MEMORY);
  }
  return 0;
}

void CommReader::Run() {
  char chunk[kReadChunkSize];
  for (;;) {
    ReadResult result = Read(chunk, sizeof chunk);
    if (result.got > 0) {
      win32::DebugTrace("reader: read %lu", static_cast<unsigned long>(result.got));
      const std::string_view text(chunk, result.got);
      buffer_.Append(text);
      Tell(pacing_.OnCharacters(text, NowMs()));
    } else if (result.outcome == Outcome::kRead) {
      // Nothing waited and the read returned at once, as on Windows: sleep
      // until the next character instead of reading again.
      result = AwaitCharacter();
    }
    if (result.outcome == Outcome::kStopped) return;
    if (result.outcome == Outcome::kFailed) return LoseLine(result.error);
    // Reads that complete at once never wait on the stop event; the flag
    // spares a call into the system on every arrival.
    if (stopping_.load()) return;
  }
}

CommReader::ReadResult CommReader::Read(char* into, DWORD size) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = ioDone_.get();
  const DWORD error = StartError(io_->Read(into, size, &overlapped));
  return Complete(error, overlapped);
}

CommReader::ReadResult CommReader::AwaitCharacter() {
  OVERLAPPED overlapped{};
  overlapped.hEvent = ioDone_.get();
  DWORD events = 0;
  const DWORD error = StartError(io_->WaitEvent(&events, &overlapped));
  // A character that came between the empty read and the arming of the
  // wait need not have raised EV_RXCHAR: nothing promises that the driver
  // keeps the event for the wait. Once the wait is armed, whatever waits in
  // the queue is read at once.
  if (error == ERROR_IO_PENDING && io_->Queued() > 0) {
    Abandon(overlapped);
    return {Outcome::kRead};
  }
  ReadResult result = Complete(error, overlapped);
  if (result.outcome == Outcome::kRead && (events & EV_RXCHAR) == 0 &&
      ::WaitForSingleObject(stop_.get(), kSpuriousWakeRestMs) == WAIT_OBJECT_0) {
    return {Outcome::kStopped};
  }
  return result;
}

CommReader::ReadResult CommReader::Complete(DWORD error, OVERLAPPED& overlapped) {
  // ReadFile and WaitCommEvent reset the event themselves.
  if (error != 0) {
    if (error != ERROR_IO_PENDING) return {Outcome::kFailed, 0, error};
    const HANDLE waits[] = {ioDone_.get(), stop_.get()};
    for (;;) {
      const DWORD waited = ::WaitForMultipleObjects(2, waits, FALSE, WaitMs());
      if (waited == WAIT_OBJECT_0) break;
      if (waited == WAIT_TIMEOUT) {
        TellWhatIsDue();
        continue;
      }
      const DWORD waitError = waited == WAIT_FAILED ? ::GetLastError() : 0;
      Abandon(overlapped);
      if (waited == WAIT_OBJECT_0 + 1) return {Outcome::kStopped};
      return {Outcome::kFailed, 0, waitError};
    }
  }
  DWORD got = 0;
  if (!io_->Result(&overlapped, &got, FALSE)) return {Outcome::kFailed, 0, ::GetLastError()};
  return {Outcome::kRead, got, 0};
}

void CommReader::Abandon(OVERLAPPED& overlapped) {
  // Only this thread can cancel its own operation.
  io_->Cancel();
  DWORD ignored = 0;
  io_->Result(&overlapped, &ignored, TRUE);
}

void CommReader::Tell(ReceiveNotices notices) {
  if (!buffer_.AddNotices(notices)) return;
  if (post_()) return;
  // A full message queue, for instance: the notices wait for the retry.
  buffer_.PostFailed();
  retryPost_ = true;
}

void CommReader::TellWhatIsDue() {
  ReceiveNotices due = pacing_.OnQuiet(NowMs());
  // The user-interface thread took everything already: nothing to raise.
  if (buffer_.Size() == 0) due = 0;
  retryPost_ = false;
  Tell(due);
  RepostIfUnreceived();
}

std::optional<std::int64_t> CommReader::RepostDueMs() {
  const std::uint64_t post = buffer_.PostOnItsWay();
  if (post == 0) return std::nullopt;
  if (post != watchedPost_) {
    watchedPost_ = post;
    watchedSinceMs_ = NowMs();
  }
  return watchedSinceMs_ + kRepostMs;
}

void CommReader::RepostIfUnreceived() {
  const std::uint64_t post = buffer_.PostOnItsWay();
  const std::int64_t now = NowMs();
  if (post == 0 || post != watchedPost_ || now - watchedSinceMs_ < kRepostMs) return;
  win32::DebugTrace("reader: notification %llu unreceived after %lld ms, posted again",
                    static_cast<unsigned long long>(post), static_cast<long long>(now - watchedSinceMs_));
  watchedSinceMs_ = now;
  // A refused post is tried again when this one would have been.
  post_();
}

DWORD CommReader::WaitMs() {
  std::int64_t wait = retryPost_ ? kPostRetryMs : INFINITE;
  const std::int64_t now = NowMs();
  for (const std::optional<std::int64_t> due : {pacing_.NextDueMs(), RepostDueMs()}) {
    if (!due) continue;
    const std::int64_t left = *due - now;
    // The clock counts whole milliseconds: one more keeps a wait from
    // ending before its time.
    wait = std::min(wait, left <= 0 ? 0 : left + 1);
  }
  return static_cast<DWORD>(wait);
}

void CommReader::LoseLine(DWORD error) {
  win32::DebugTrace("reader: line lost, error %lu", static_cast<unsigned long>(error));
  buffer_.SetLineError(error);
  Tell(kLossNotice);
  // The loss must reach the user-interface thread as surely as a ring.
  while (::WaitForSingleObject(stop_.get(), WaitMs()) == WAIT_TIMEOUT) TellWhatIsDue();
}

}  // namespace hushcall::ringwatch
