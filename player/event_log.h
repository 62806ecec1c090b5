// The player's log: one line per protocol message and plug-in event,
// "<unix microseconds> <what> ...", appended and on disk at once so a test
// can read it while the player runs.
#pragma once

#include <string>

#include "common/win32/unique.h"

namespace hushcall::player {

class EventLog {
 public:
  EventLog() = default;  // logs nothing
  // Opens `path` for appending; an empty path logs nothing.
  explicit EventLog(const std::wstring& path);

  bool is_open() const { return static_cast<bool>(file_); }
  void Write(const std::string& what);

 private:
  win32::unique_hfile file_;
};

}  // namespace hushcall::player
