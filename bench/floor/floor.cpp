// The floor of ring latency under Wine: a bare program that reads a COM port
// with an overlapped read on a thread of its own and posts each completed
// read to a window on the main thread, which logs its receipt. Hushcall's
// latency is measured against this, in the same run and under the same load.
//
//   floor.exe PORT LOGFILE
//
// Log lines: "<unix microseconds> read <bytes>", one per completed read.
//
// The read uses the timeouts {MAXDWORD, 0, 0}: under Wine an overlapped read
// then pends until characters arrive and completes with them at once, the
// fastest any read gets there. (On Windows itself it would return at once;
// this program is for the benchmark under Wine only.)
#include <windows.h>

#include <cstdlib>
#include <string>

#include "common/win32/unix_clock.h"

namespace {

constexpr UINT kReadMessage = WM_APP + 1;

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  ~Handle() {
    if (h_) ::CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HANDLE h_;
};

struct Reader {
  HANDLE device;
  HWND window;
};

DWORD WINAPI ReadLoop(void* param) {
  const Reader& reader = *static_cast<Reader*>(param);
  Handle done(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  char chunk[512];
  for (;;) {
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.get();
    DWORD got = 0;
    if (!::ReadFile(reader.device, chunk, sizeof chunk, nullptr, &overlapped) &&
        ::GetLastError() != ERROR_IO_PENDING) {
      return 1;
    }
    if (!::GetOverlappedResult(reader.device, &overlapped, &got, TRUE)) return 1;
    if (got > 0) ::PostMessageW(reader.window, kReadMessage, got, 0);
  }
}

Handle* g_log = nullptr;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kReadMessage) return ::DefWindowProcW(hwnd, message, wParam, lParam);
  const std::string line = std::to_string(hushcall::win32::UnixMicroseconds()) + " read " + std::to_string(wParam) + "\n";
  DWORD written = 0;
  ::WriteFile(g_log->get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return 0;
}

bool Configure(HANDLE device) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(device, &dcb)) return false;
  dcb.BaudRate = CBR_9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  return ::SetCommState(device, &dcb) && ::SetCommTimeouts(device, &timeouts) &&
         ::PurgeComm(device, PURGE_RXCLEAR);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const std::wstring path = L"\\\\.\\COM" + std::wstring(argv[1]);
  Handle device(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr));
  Handle log(::CreateFileW(argv[2], FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!device || !log || !Configure(device.get())) return 1;
  g_log = &log;

  WNDCLASSW wc{};
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"HushcallFloor";
  if (!::RegisterClassW(&wc)) return 1;
  HWND window = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  if (!window) return 1;

  Reader reader{device.get(), window};
  Handle thread(::CreateThread(nullptr, 0, &ReadLoop, &reader, 0, nullptr));
  if (!thread) return 1;
  const std::string ready = std::to_string(hushcall::win32::UnixMicroseconds()) + " ready\n";
  DWORD written = 0;
  ::WriteFile(log.get(), ready.data(), static_cast<DWORD>(ready.size()), &written, nullptr);

  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
