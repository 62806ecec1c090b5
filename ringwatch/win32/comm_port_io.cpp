#include "ringwatch/win32/comm_port_io.h"

namespace hushcall::ringwatch {

BOOL DeviceIo::Read(void* into, DWORD size, OVERLAPPED* overlapped) {
  return ::ReadFile(device_, into, size, nullptr, overlapped);
}

BOOL DeviceIo::WaitEvent(DWORD* events, OVERLAPPED* overlapped) {
  return ::WaitCommEvent(device_, events, overlapped);
}

BOOL DeviceIo::Result(OVERLAPPED* overlapped, DWORD* transferred, BOOL wait) {
  return ::GetOverlappedResult(device_, overlapped, transferred, wait);
}

void DeviceIo::Cancel() { ::CancelIo(device_); }

DWORD DeviceIo::Queued() {
  DWORD errors = 0;
  COMSTAT status{};
  return ::ClearCommError(device_, &errors, &status) ? status.cbInQue : 0;
}

}  // namespace hushcall::ringwatch
