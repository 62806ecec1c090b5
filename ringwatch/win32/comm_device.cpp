#include "ringwatch/win32/comm_device.h"

#include "common/status.h"

namespace hushcall::ringwatch {
namespace {

[[noreturn]] void FailWithLastError() { Fail(StatusFromWin32(::GetLastError())); }

void Configure(HANDLE device) {
  if (!::SetupComm(device, kReceiveQueueSize, kTransmitQueueSize)) FailWithLastError();

  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(device, &dcb)) FailWithLastError();
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_ENABLE;
  dcb.fAbortOnError = FALSE;
  if (!::SetCommState(device, &dcb)) FailWithLastError();

  // {MAXDWORD, 0, 0}: a read returns at once with what waits. Windows then
  // returns nothing when nothing waits, and the reader sleeps in a wait for
  // EV_RXCHAR; Wine's serial emulation instead holds an overlapped read until
  // characters come. Either way one read takes a whole burst the moment it is
  // there, with no quiet line to wait for: ArrivalPacing judges quiet lines.
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  // A write of a few bytes at 9600 baud takes milliseconds; the bound only
  // keeps a stuck line from holding the user-interface thread forever.
  timeouts.WriteTotalTimeoutMultiplier = 2;
  timeouts.WriteTotalTimeoutConstant = 2000;
  if (!::SetCommTimeouts(device, &timeouts)) FailWithLastError();
  if (!::SetCommMask(device, EV_RXCHAR)) FailWithLastError();

  if (!::PurgeComm(device, PURGE_RXCLEAR | PURGE_RXABORT)) FailWithLastError();
  DWORD errors = 0;
  ::ClearCommError(device, &errors, nullptr);
}

}  // namespace

// std::to_string formats the digits itself; std::to_wstring would bring the
// C runtime's wide printf (some 20 KB) into the DLL.
std::wstring CommDevicePath(int port) {
  const std::string digits = std::to_string(port);
  return L"\\\\.\\COM" + std::wstring(digits.begin(), digits.end());
}

win32::unique_hfile OpenCommDevice(int port) {
  win32::unique_hfile device(::CreateFileW(CommDevicePath(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
  if (!device) FailWithLastError();
  Configure(device.get());
  return device;
}

void WriteCommDevice(HANDLE device, std::string_view bytes) {
  if (bytes.empty()) return;
  win32::unique_handle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) FailWithLastError();
  OVERLAPPED overlapped{};
  overlapped.hEvent = done.get();
  DWORD written = 0;
  if (!::WriteFile(device, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped) &&
      ::GetLastError() != ERROR_IO_PENDING) {
    FailWithLastError();
  }
  if (!::GetOverlappedResult(device, &overlapped, &written, TRUE)) FailWithLastError();
  if (written != bytes.size()) Fail(StatusFromWin32(ERROR_WRITE_FAULT));
}

}  // namespace hushcall::ringwatch
