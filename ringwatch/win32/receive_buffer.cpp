#include "ringwatch/win32/receive_buffer.h"

#include <utility>

#include "common/status.h"

namespace hushcall::ringwatch {

class ReceiveBuffer::Lock {
 public:
  explicit Lock(CRITICAL_SECTION& cs) : cs_(cs) { ::EnterCriticalSection(&cs_); }
  ~Lock() { ::LeaveCriticalSection(&cs_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION& cs_;
};

ReceiveBuffer::ReceiveBuffer(std::size_t capacity)
    : capacity_(capacity), dataEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  if (!dataEvent_) Fail(StatusFromWin32(::GetLastError()));
  ::InitializeCriticalSection(&lock_);
}

ReceiveBuffer::~ReceiveBuffer() { ::DeleteCriticalSection(&lock_); }

void ReceiveBuffer::Append(std::string_view bytes) {
  Lock lock(lock_);
  bytes_.append(bytes);
  if (bytes_.size() > capacity_) bytes_.erase(0, bytes_.size() - capacity_);
  if (waitOn_ && !bytes_.empty()) ::SetEvent(dataEvent_.get());
}

void ReceiveBuffer::SetLineError(DWORD error) {
  Lock lock(lock_);
  lineError_ = error;
  // A poll waiting for characters learns at once that none will come.
  if (waitOn_) ::SetEvent(dataEvent_.get());
}

bool ReceiveBuffer::AddNotices(ReceiveNotices notices) {
  Lock lock(lock_);
  notices_ |= notices;
  if (posted_ || notices_ == 0) return false;
  posted_ = true;
  ++posts_;
  return true;
}

void ReceiveBuffer::PostFailed() {
  Lock lock(lock_);
  posted_ = false;
}

std::uint64_t ReceiveBuffer::PostOnItsWay() const {
  Lock lock(lock_);
  return posted_ ? posts_ : 0;
}

HANDLE ReceiveBuffer::BeginWait() {
  Lock lock(lock_);
  waitOn_ = true;
  if (!bytes_.empty() || lineError_ != 0) {
    ::SetEvent(dataEvent_.get());
  } else {
    ::ResetEvent(dataEvent_.get());
  }
  return dataEvent_.get();
}

void ReceiveBuffer::EndWait() {
  Lock lock(lock_);
  waitOn_ = false;
}

std::string ReceiveBuffer::Take() {
  Lock lock(lock_);
  return std::exchange(bytes_, std::string());
}

std::size_t ReceiveBuffer::Size() const {
  Lock lock(lock_);
  return bytes_.size();
}

DWORD ReceiveBuffer::LineError() const {
  Lock lock(lock_);
  return lineError_;
}

ReceiveNotices ReceiveBuffer::TakeNotices() {
  Lock lock(lock_);
  posted_ = false;
  return std::exchange(notices_, 0);
}

void ReceiveBuffer::Clear() {
  Lock lock(lock_);
  bytes_.clear();
  lineError_ = 0;
  notices_ = 0;
  posted_ = false;
}

}  // namespace hushcall::ringwatch
