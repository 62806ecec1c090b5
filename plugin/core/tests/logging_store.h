// The in-memory store, also writing its calls into the shared log as
// "Read(Key)" and "Write(Key,text)".
#pragma once

#include <string>
#include <string_view>

#include "tests/support/call_log.h"
#include "tests/support/memory_store.h"

namespace hushcall::testing {

class LoggingStore : public MemorySettingsStore {
 public:
  explicit LoggingStore(CallLog& log) : log_(log) {}

  std::string Read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view defaultText) override {
    log_.push_back("Read(" + std::string(key) + ")");
    return MemorySettingsStore::Read(app, section, key, defaultText);
  }
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view text) override {
    log_.push_back("Write(" + std::string(key) + "," + std::string(text) + ")");
    MemorySettingsStore::Write(app, section, key, text);
  }

 private:
  CallLog& log_;
};

}  // namespace hushcall::testing
