// The general-purpose plug-ins the player loaded from its plug-in folder,
// in file-name order: loaded and initialised at start, configured on
// request, told to quit and unloaded at exit.
#pragma once

#include <string>
#include <vector>

#include <windows.h>

#include "common/win32/unique.h"
#include "player/event_log.h"
#include "host/general_purpose_plugin.h"

namespace hushcall::player {

class PluginSet {
 public:
  explicit PluginSet(EventLog& log) : log_(log) {}
  ~PluginSet() { QuitAll(); }
  PluginSet(const PluginSet&) = delete;
  PluginSet& operator=(const PluginSet&) = delete;

  // Loads every gen_*.dll in `folder` and calls its init with `player`
  // as the parent window. A plug-in whose init fails is unloaded again.
  void LoadAll(const std::wstring& folder, HWND player);

  size_t size() const { return plugins_.size(); }
  std::string Description(size_t index) const;
  std::string FileName(size_t index) const { return plugins_[index].fileName; }
  // Calls the plug-in's config; returns false for an unknown index.
  bool Configure(size_t index);
  // Removes the plug-in as the player's preferences do: its
  // winampUninstallPlugin, and on "remove now" its quit, the unload and the
  // deletion of its file. False for an unknown index or without the export.
  bool Uninstall(size_t index, HWND player);
  // Calls every quit, in load order, then unloads the DLLs: also those whose
  // init or config is still running beneath the caller. Nothing is loaded
  // or called after it.
  void QuitAll();

 private:
  struct Loaded {
    std::string fileName;
    std::wstring path;
    win32::unique_hmodule module;
    winampGeneralPurposePlugin* record = nullptr;
  };
  void LoadOne(const std::wstring& path, const std::string& fileName, HWND player);

  EventLog& log_;
  std::vector<Loaded> plugins_;
  bool quit_ = false;
};

}  // namespace hushcall::player
