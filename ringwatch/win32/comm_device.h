// The Win32 communications device behind the serial control: opening and
// configuring \\.\COMn, and writing to it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "common/win32/unique.h"

namespace hushcall::ringwatch {

inline constexpr int kLowestCommPort = 1;
inline constexpr int kHighestCommPort = 255;
inline constexpr DWORD kReceiveQueueSize = 1024;
inline constexpr DWORD kTransmitQueueSize = 512;

// "\\.\COM5" for 5: the form that also reaches ports above 9.
std::wstring CommDevicePath(int port);

// Opens the port for overlapped use at 9600 baud, 8 data bits, no parity,
// one stop bit, no flow control, with the receive side purged: a pseudo
// terminal keeps bytes from an earlier session. A read takes what waits and
// returns; the event mask raises EV_RXCHAR for a wait on the next character.
// Throws Failure with the OS error.
win32::unique_hfile OpenCommDevice(int port);

// Writes all bytes and waits until the write has completed. Throws Failure
// with the OS error, or ERROR_WRITE_FAULT when fewer bytes went out.
void WriteCommDevice(HANDLE device, std::string_view bytes);

}  // namespace hushcall::ringwatch
