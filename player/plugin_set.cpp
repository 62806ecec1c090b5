#include "player/plugin_set.h"

#include <algorithm>

#include "common/win32/utf.h"

namespace hushcall::player {

void PluginSet::LoadAll(const std::wstring& folder, HWND player) {
  std::wstring dir = folder;
  if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = ::FindFirstFileW((dir + L"gen_*.dll").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
  }
  // The folder listing has no defined order; plug-in numbers must be stable.
  std::sort(names.begin(), names.end());
  for (const auto& name : names) {
    if (quit_) return;  // closed while an earlier plug-in's init ran
    LoadOne(dir + name, win32::NarrowToUtf8(name), player);
  }
}

void PluginSet::LoadOne(const std::wstring& path, const std::string& fileName, HWND player) {
  Loaded plugin;
  plugin.fileName = fileName;
  plugin.path = path;
  plugin.module.reset(::LoadLibraryW(path.c_str()));
  if (!plugin.module) {
    log_.Write("plugin " + fileName + " load failed error=" + std::to_string(::GetLastError()));
    return;
  }
  auto get = reinterpret_cast<GetGeneralPurposePluginFn>(reinterpret_cast<void*>(
      ::GetProcAddress(plugin.module.get(), host::kGetGeneralPurposePluginExport)));
  plugin.record = get ? get() : nullptr;
  if (!plugin.record) {
    log_.Write("plugin " + fileName + " has no plug-in record");
    return;
  }
  plugin.record->hwndParent = player;
  plugin.record->hDllInstance = plugin.module.get();
  log_.Write("plugin " + fileName + " loaded version=" + std::to_string(plugin.record->version) +
             " description=\"" + (plugin.record->description ? plugin.record->description : "") +
             "\"");
  auto init = plugin.record->init;
  // Listed before its init runs: a close that arrives inside the init (its
  // boxes and waits pump messages) quits and unloads this one too.
  plugins_.push_back(std::move(plugin));
  int result = init ? init() : 1;
  if (quit_) {
    // Already quit and unloaded from inside the init: nothing of it is ours.
    log_.Write("plugin " + fileName + " init -> " + std::to_string(result) + " after quit");
    return;
  }
  log_.Write("plugin " + fileName + " init -> " + std::to_string(result));
  if (result != 0) {
    // A plug-in that failed to start gets no quit; it is simply unloaded.
    plugins_.pop_back();
    log_.Write("plugin " + fileName + " unloaded");
  }
}

std::string PluginSet::Description(size_t index) const {
  const auto* record = plugins_[index].record;
  return record->description ? record->description : plugins_[index].fileName;
}

bool PluginSet::Configure(size_t index) {
  if (index >= plugins_.size()) {
    log_.Write("config " + std::to_string(index) + " no such plugin");
    return false;
  }
  // Copied: a close inside the config unloads the plug-in and empties the set.
  const std::string fileName = plugins_[index].fileName;
  log_.Write("plugin " + fileName + " config");
  if (auto config = plugins_[index].record->config) config();
  log_.Write("plugin " + fileName + (quit_ ? " config done after quit" : " config done"));
  return true;
}

bool PluginSet::Uninstall(size_t index, HWND player) {
  if (index >= plugins_.size()) {
    log_.Write("uninstall " + std::to_string(index) + " no such plugin");
    return false;
  }
  auto uninstall = reinterpret_cast<UninstallPluginFn>(reinterpret_cast<void*>(
      ::GetProcAddress(plugins_[index].module.get(), host::kUninstallPluginExport)));
  // Copied: a close inside the plug-in's question box unloads it and empties
  // the set.
  const std::string fileName = plugins_[index].fileName;
  if (!uninstall) {
    log_.Write("plugin " + fileName + " cannot be uninstalled");
    return false;
  }
  log_.Write("plugin " + fileName + " uninstall");
  const int result = uninstall(plugins_[index].module.get(), player, 0);
  log_.Write("plugin " + fileName + " uninstall -> " + std::to_string(result) + (quit_ ? " after quit" : ""));
  // Closed meanwhile, nothing is left to remove; "later" would be finished
  // at the player's next start.
  if (quit_ || result != host::kUninstallNow) return true;
  Loaded& plugin = plugins_[index];
  log_.Write("plugin " + fileName + " quit");
  if (plugin.record->quit) plugin.record->quit();
  log_.Write("plugin " + fileName + " quit done");
  plugin.module.reset();
  const BOOL deleted = ::DeleteFileW(plugin.path.c_str());
  log_.Write("plugin " + fileName + " unloaded, file " +
             (deleted ? std::string("deleted") : "not deleted error=" + std::to_string(::GetLastError())));
  plugins_.erase(plugins_.begin() + static_cast<std::ptrdiff_t>(index));
  return true;
}

void PluginSet::QuitAll() {
  quit_ = true;
  for (auto& plugin : plugins_) {
    log_.Write("plugin " + plugin.fileName + " quit");
    if (plugin.record->quit) plugin.record->quit();
    log_.Write("plugin " + plugin.fileName + " quit done");
  }
  // Unload only after every quit: a plug-in may still talk to another.
  for (auto& plugin : plugins_) {
    plugin.module.reset();
    log_.Write("plugin " + plugin.fileName + " unloaded");
  }
  plugins_.clear();
}

}  // namespace hushcall::player
