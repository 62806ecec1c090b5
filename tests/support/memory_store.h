// An in-memory settings store for tests: it keeps values per application,
// section and key, records every Read and Write in order, and can be told to
// fail the Write of a key.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "common/status.h"
#include "settings/settings.h"
#include "settings/settings_store.h"

namespace hushcall {

struct StoreCall {
  enum Kind { kRead, kWrite };
  Kind kind;
  std::string app;
  std::string section;
  std::string key;
  std::string text;  // the default given to Read, or the text given to Write

  bool operator==(const StoreCall&) const = default;
};

class MemorySettingsStore : public SettingsStore {
 public:
  std::string Read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view defaultText) override {
    calls_.push_back({StoreCall::kRead, std::string(app), std::string(section), std::string(key),
                      std::string(defaultText)});
    const auto it = values_.find(Address(app, section, key));
    return it == values_.end() ? std::string(defaultText) : it->second;
  }

  // A failing Write is recorded too, but stores nothing.
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view text) override {
    calls_.push_back({StoreCall::kWrite, std::string(app), std::string(section), std::string(key),
                      std::string(text)});
    const auto failure = writeFailures_.find(std::string(key));
    if (failure != writeFailures_.end()) Fail(failure->second);
    values_[Address(app, section, key)] = std::string(text);
  }

  // Presets or inspects a value; the short forms address Hushcall's own
  // application and section.
  void Set(std::string_view app, std::string_view section, std::string_view key,
           std::string_view text) {
    values_[Address(app, section, key)] = std::string(text);
  }
  void Set(std::string_view key, std::string_view text) {
    Set(kProductName, kSettingsSection, key, text);
  }
  std::optional<std::string> Value(std::string_view app, std::string_view section,
                                   std::string_view key) const {
    const auto it = values_.find(Address(app, section, key));
    if (it == values_.end()) return std::nullopt;
    return it->second;
  }
  std::optional<std::string> Value(std::string_view key) const {
    return Value(kProductName, kSettingsSection, key);
  }
  void Remove(std::string_view key) { values_.erase(Address(kProductName, kSettingsSection, key)); }

  // Every later Write of `key` (in any application and section) throws
  // Failure(status); kOk clears it.
  void FailWrite(std::string_view key, Status status) {
    if (status == kOk) {
      writeFailures_.erase(std::string(key));
    } else {
      writeFailures_[std::string(key)] = status;
    }
  }

  const std::vector<StoreCall>& calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }

  // The keys of the recorded calls of one kind, in order.
  std::vector<std::string> Keys(StoreCall::Kind kind) const {
    std::vector<std::string> keys;
    for (const StoreCall& call : calls_) {
      if (call.kind == kind) keys.push_back(call.key);
    }
    return keys;
  }
  std::vector<std::string> ReadKeys() const { return Keys(StoreCall::kRead); }
  std::vector<std::string> WrittenKeys() const { return Keys(StoreCall::kWrite); }

  // The (key, text) pairs written, in order.
  std::vector<std::pair<std::string, std::string>> Writes() const {
    std::vector<std::pair<std::string, std::string>> writes;
    for (const StoreCall& call : calls_) {
      if (call.kind == StoreCall::kWrite) writes.emplace_back(call.key, call.text);
    }
    return writes;
  }

 private:
  using Key = std::tuple<std::string, std::string, std::string>;
  static Key Address(std::string_view app, std::string_view section, std::string_view key) {
    return {std::string(app), std::string(section), std::string(key)};
  }

  std::map<Key, std::string> values_;
  std::map<std::string, Status> writeFailures_;
  std::vector<StoreCall> calls_;
};

}  // namespace hushcall
