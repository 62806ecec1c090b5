// The per-user application settings store: text values addressed by
// application, section and key.
#pragma once

#include <string>
#include <string_view>

namespace hushcall {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The stored text, or `defaultText` when the key is absent. A present but
  // empty value reads as the empty text.
  virtual std::string Read(std::string_view app, std::string_view section, std::string_view key,
                           std::string_view defaultText) = 0;
  // Stores the text, creating what is needed. Throws Failure on failure.
  virtual void Write(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view text) = 0;
};

}  // namespace hushcall
