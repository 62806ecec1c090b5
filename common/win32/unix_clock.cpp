#include "common/win32/unix_clock.h"

#include <windows.h>

namespace hushcall::win32 {

long long UnixMicroseconds() {
  // GetSystemTimePreciseAsFileTime is newer than the headers' target.
  using PreciseFn = void(WINAPI*)(FILETIME*);
  static const PreciseFn precise = reinterpret_cast<PreciseFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetSystemTimePreciseAsFileTime")));
  FILETIME ft{};
  if (precise) precise(&ft);
  else ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  constexpr unsigned long long kUnixEpochIn100ns = 116444736000000000ULL;
  return static_cast<long long>((t.QuadPart - kUnixEpochIn100ns) / 10);
}

}  // namespace hushcall::win32
