#include "ringwatch/win32/comm_reader.h"

#include <algorithm>
#include <string_view>

#include "common/status.h"

namespace hushcall::ringwatch {
namespace {

constexpr DWORD kFirstBackoffMs = 10;
constexpr DWORD kLongestBackoffMs = 1000;

win32::unique_handle NewEvent() {
  win32::unique_handle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) Fail(StatusFromWin32(::GetLastError()));
  return event;
}

}  // namespace

CommReader::CommReader(HANDLE device, ReceiveBuffer& buffer, HWND window, UINT message)
    : device_(device), buffer_(buffer), window_(window), message_(message), stop_(NewEvent()),
      readDone_(NewEvent()) {
  thread_.reset(::CreateThread(nullptr, 0, &ThreadMain, this, 0, nullptr));
  if (!thread_) Fail(StatusFromWin32(::GetLastError()));
}

CommReader::~CommReader() {
  ::SetEvent(stop_.get());
  ::WaitForSingleObject(thread_.get(), INFINITE);
}

DWORD WINAPI CommReader::ThreadMain(void* self) {
  static_cast<CommReader*>(self)->Run();
  return 0;
}

void CommReader::Run() {
  char chunk[kReadChunkSize];
  const HANDLE waits[] = {readDone_.get(), stop_.get()};
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = readDone_.get();
    ::ResetEvent(readDone_.get());
    DWORD got = 0;
    DWORD error = 0;
    if (!::ReadFile(device_, chunk, sizeof chunk, nullptr, &overlapped)) error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
      if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        // Only this thread can cancel its own read; wait until the system
        // has let go of the buffer and the OVERLAPPED before leaving.
        ::CancelIo(device_);
        ::GetOverlappedResult(device_, &overlapped, &got, TRUE);
        return;
      }
      error = 0;
    }
    if (error == 0 && !::GetOverlappedResult(device_, &overlapped, &got, FALSE)) error = ::GetLastError();

    if (error == 0 && got > 0) {
      backoffMs_ = 0;
      if (buffer_.Append(std::string_view(chunk, got))) ::PostMessageW(window_, message_, 0, 0);
      if (::WaitForSingleObject(stop_.get(), 0) == WAIT_OBJECT_0) return;
      continue;
    }
    if (error != 0) buffer_.SetLineError(error);
    if (!BackOff()) return;
  }
}

bool CommReader::BackOff() {
  backoffMs_ = std::clamp<DWORD>(backoffMs_ * 2, kFirstBackoffMs, kLongestBackoffMs);
  return ::WaitForSingleObject(stop_.get(), backoffMs_) == WAIT_TIMEOUT;
}

}  // namespace hushcall::ringwatch
