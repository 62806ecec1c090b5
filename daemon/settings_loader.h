// Reading the settings file from disk: absent means the defaults, and a
// file that cannot be read is said so, apart from its lines' messages.
#pragma once

#include <string>
#include <vector>

#include "settings/settings_file.h"

namespace hushcall::daemon {

struct LoadedSettings {
  enum class File { kRead, kAbsent, kUnreadable };
  File file = File::kAbsent;
  ServiceSettings settings;           // the defaults unless kRead
  std::vector<std::string> messages;  // "FILE:LINE: ...", or "FILE: ..." for kUnreadable
  bool clean() const { return file != File::kUnreadable && messages.empty(); }
};

// Never throws for the file's sake; only std::bad_alloc passes.
LoadedSettings LoadSettingsFile(const std::string& path);

}  // namespace hushcall::daemon
