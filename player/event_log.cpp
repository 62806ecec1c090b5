#include "player/event_log.h"

#include <windows.h>

#include "common/win32/unix_clock.h"

namespace hushcall::player {

EventLog::EventLog(const std::wstring& path) {
  if (path.empty()) return;
  // FILE_APPEND_DATA makes every WriteFile one atomic append, so plug-ins
  // may write to the same file.
  file_.reset(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void EventLog::Write(const std::string& what) {
  if (!file_) return;
  std::string line = std::to_string(win32::UnixMicroseconds()) + " " + what + "\n";
  DWORD written = 0;
  ::WriteFile(file_.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace hushcall::player
