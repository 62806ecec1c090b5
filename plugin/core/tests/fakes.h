// Fakes for the plug-in object's collaborators. Each writes what it was
// asked into one shared log, so that a test can assert the exact sequence
// across the host, the store and the dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "ringwatch/core/options_dialog.h"
#include "tests/support/memory_store.h"
#include "plugin/core/plugin_logic.h"

namespace hushcall::testing {

using Log = std::vector<std::string>;

// Something a fake does instead of its work, to see that the boundary
// catches it; null does the work.
using Fault = std::function<void()>;

class FakeHostWrapper : public HostWrapper {
 public:
  explicit FakeHostWrapper(Log& log) : log_(log) {}

  Status SetDescription(std::u16string_view name) override {
    log_.push_back("SetDescription(" + std::string(name.begin(), name.end()) + ")");
    if (setDescriptionFault) setDescriptionFault();
    return setDescriptionStatus;
  }

  Status GetPlayerWindow(std::int32_t* hwnd) override {
    log_.push_back("GetPlayerWindow(" + std::to_string(*hwnd) + ")");
    if (getPlayerWindowFault) getPlayerWindowFault();
    if (playerWindow) *hwnd = *playerWindow;
    return getPlayerWindowStatus;
  }

  Status setDescriptionStatus = kOk;
  Fault setDescriptionFault;
  Status getPlayerWindowStatus = kOk;
  Fault getPlayerWindowFault;
  std::optional<std::int32_t> playerWindow = 0x10A2C;  // not written when empty

 private:
  Log& log_;
};

class FakeOptionsDialog : public ringwatch::OptionsDialog {
 public:
  explicit FakeOptionsDialog(Log& log) : log_(log) {}

  bool Loaded() const override { return loaded_; }
  void Load() override {
    log_.push_back("Load");
    if (loadFault) loadFault();
    SetLoaded(true);
  }
  void ShowModal() override {
    log_.push_back("ShowModal");
    if (showModalFault) showModalFault();
    SetLoaded(true);
  }
  void Unload() override {
    log_.push_back("Unload");
    if (unloadFault) unloadFault();
    SetLoaded(false);
  }
  bool Visible() const override { return false; }
  void Hide() override { log_.push_back("Hide"); }
  ringwatch::SerialPort* Port() override { return nullptr; }
  ringwatch::Timer* RingTimer() override { return nullptr; }
  std::uint64_t LoadGeneration() const override { return generation_; }

  Fault loadFault;
  Fault showModalFault;
  Fault unloadFault;

 private:
  void SetLoaded(bool loaded) {
    if (loaded_ != loaded) ++generation_;
    loaded_ = loaded;
  }

  Log& log_;
  bool loaded_ = false;
  std::uint64_t generation_ = 0;
};

// The in-memory store, also writing its calls into the shared log as
// "Read Key" and "Write Key=text".
class LoggingStore : public MemorySettingsStore {
 public:
  explicit LoggingStore(Log& log) : log_(log) {}

  std::string Read(std::string_view app, std::string_view section, std::string_view key,
                   std::string_view defaultText) override {
    log_.push_back("Read " + std::string(key));
    return MemorySettingsStore::Read(app, section, key, defaultText);
  }
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view text) override {
    log_.push_back("Write " + std::string(key) + "=" + std::string(text));
    MemorySettingsStore::Write(app, section, key, text);
  }

 private:
  Log& log_;
};

}  // namespace hushcall::testing
