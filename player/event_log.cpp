#include "player/event_log.h"

#include <windows.h>

namespace hushcall::player {

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

EventLog::EventLog(const std::wstring& path) {
  if (path.empty()) return;
  // FILE_APPEND_DATA makes every WriteFile one atomic append, so plug-ins
  // may write to the same file.
  file_.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void EventLog::Write(const std::string& what) {
  if (!file_) return;
  std::string line = std::to_string(UnixMicroseconds()) + " " + what + "\n";
  DWORD written = 0;
  ::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace hushcall::player
