// The overlapped calls the serial reader thread makes on its device: a seam,
// so that a test can play a driver that behaves as Windows' does, where a
// read returns at once with nothing and a wait for EV_RXCHAR follows, which
// Wine's pseudo-terminals don't.
#pragma once

#include <windows.h>

namespace hushcall::ringwatch {

class CommPortIo {
 public:
  virtual ~CommPortIo() = default;
  // ReadFile, WaitCommEvent, GetOverlappedResult and CancelIo on the device,
  // with their results and last errors.
  virtual BOOL Read(void* into, DWORD size, OVERLAPPED* overlapped) = 0;
  virtual BOOL WaitEvent(DWORD* events, OVERLAPPED* overlapped) = 0;
  virtual BOOL Result(OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) = 0;
  virtual void Cancel() = 0;
  // Characters in the driver's receive queue (ClearCommError's cbInQue);
  // 0 when it can't tell.
  virtual DWORD Queued() = 0;
};

// The real device, opened for overlapped use; not owned.
class DeviceIo final : public CommPortIo {
 public:
  explicit DeviceIo(HANDLE device) : device_(device) {}
  BOOL Read(void* into, DWORD size, OVERLAPPED* overlapped) override;
  BOOL WaitEvent(DWORD* events, OVERLAPPED* overlapped) override;
  BOOL Result(OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) override;
  void Cancel() override;
  DWORD Queued() override;

 private:
  HANDLE device_;
};

}  // namespace hushcall::ringwatch
