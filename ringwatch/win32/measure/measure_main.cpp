// Measures the serial control under Wine (not a test): run by measure.sh.
//
//   ringwatch_win32_measure latency N   open COM5 with RThreshold 5 and print
//                                       "oncomm <unix us> <bytes>" for each
//                                       OnComm until N ring reports came
//   ringwatch_win32_measure idle S      keep COM5 open with no traffic for S
//                                       seconds, then print this process's CPU
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ringwatch/win32/comm_control.h"

namespace {

using hushcall::ringwatch::CommControl;

constexpr std::int16_t kPort = 5;

std::int64_t FileTimeTo100ns(FILETIME t) {
  return static_cast<std::int64_t>(static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime);
}

// Microseconds since 1970 on the same clock as the simulator's transcript.
std::int64_t UnixMicros() {
  using PreciseTime = void(WINAPI*)(LPFILETIME);
  static const auto precise = reinterpret_cast<PreciseTime>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME now;
  if (precise) {
    precise(&now);
  } else {
    ::GetSystemTimeAsFileTime(&now);
  }
  constexpr std::int64_t kEpochDifference = 116444736000000000;  // 1601 to 1970, in 100 ns
  return (FileTimeTo100ns(now) - kEpochDifference) / 10;
}

std::string Escaped(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c < 0x20 || c >= 0x7f) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    } else out += static_cast<char>(c);
  }
  return out;
}

void PumpFor(DWORD ms, const bool& stop) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  while (!stop) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) return;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
}

int Latency(int rings) {
  CommControl port;
  port.SetCommPort(kPort);
  port.SetPortOpen(true);
  int seen = 0;
  bool done = false;
  port.SetOnComm([&] {
    const std::int64_t at = UnixMicros();
    const std::string text = port.Input();
    std::printf("oncomm %lld %s\n", static_cast<long long>(at), Escaped(text).c_str());
    std::fflush(stdout);
    if (text.find("RING\r\n") != std::string::npos && ++seen >= rings) done = true;
  });
  port.SetRThreshold(5);
  std::printf("ready\n");
  std::fflush(stdout);
  PumpFor(120000, done);
  return done ? 0 : 1;
}

int Idle(int seconds) {
  CommControl port;
  port.SetCommPort(kPort);
  port.SetPortOpen(true);
  port.SetRThreshold(5);
  std::printf("ready\n");
  std::fflush(stdout);
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  const std::int64_t before = FileTimeTo100ns(kernel) + FileTimeTo100ns(user);
  const bool never = false;
  PumpFor(static_cast<DWORD>(seconds) * 1000, never);
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  const std::int64_t after = FileTimeTo100ns(kernel) + FileTimeTo100ns(user);
  std::printf("idle-cpu-ms %lld over %d s\n", static_cast<long long>((after - before) / 10000), seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ringwatch_win32_measure latency N | idle SECONDS\n");
    return 2;
  }
  try {
    const std::string mode = argv[1];
    const int n = std::atoi(argv[2]);
    if (mode == "latency") return Latency(n);
    if (mode == "idle") return Idle(n);
  } catch (...) {
    std::fprintf(stderr, "measure: the serial control failed\n");
    return 1;
  }
  return 2;
}
