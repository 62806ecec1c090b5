#include "plugin/win32/registry_store.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/status.h"
#include "common/win32/unique.h"
#include "common/win32/utf.h"

namespace hushcall::win32 {

std::wstring SettingsAppKeyPath(std::string_view app) {
  return L"Software\\VB and VBA Program Settings\\" + WidenUtf8(app);
}

std::wstring SettingsKeyPath(std::string_view app, std::string_view section) {
  return SettingsAppKeyPath(app) + L"\\" + WidenUtf8(section);
}

namespace {

// Whether the value is there with a type that reads as no text.
bool StillUnreadable(HKEY hkey, const std::wstring& name) {
  DWORD type = 0;
  return RegQueryValueExW(hkey, name.c_str(), nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type != REG_SZ && type != REG_EXPAND_SZ && type != REG_DWORD && type != REG_QWORD;
}

}  // namespace

std::string RegistrySettingsStore::Read(std::string_view app, std::string_view section,
                                        std::string_view key, std::string_view defaultText) {
  unique_hkey hkey;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE,
                    hkey.put()) != ERROR_SUCCESS)
    return std::string(defaultText);

  const std::wstring name = WidenUtf8(key);
  const std::wstring path = SettingsKeyPath(app, section) + L"\\" + name;
  defaultsForUnreadable_.erase(path);
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return std::string(defaultText);
  if (type == REG_DWORD || type == REG_QWORD) {
    std::uint64_t number = 0;
    DWORD size = sizeof number;
    if (RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&number),
                         &size) == ERROR_SUCCESS)
      return std::to_string(type == REG_DWORD ? static_cast<std::uint32_t>(number) : number);
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) {
    defaultsForUnreadable_[path] = std::string(defaultText);
    return std::string(defaultText);
  }

  // One spare character so that a value stored without its terminator still ends.
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS)
    return std::string(defaultText);
  return NarrowToUtf8(buffer.data());
}

void RegistrySettingsStore::Write(std::string_view app, std::string_view section, std::string_view key,
                                  std::string_view text) {
  unique_hkey hkey;
  LSTATUS error = RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(app, section).c_str(), 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, hkey.put(), nullptr);
  if (error != ERROR_SUCCESS) Fail(StatusFromWin32(error));

  const std::wstring name = WidenUtf8(key);
  // The default read in place of a value of another type is not the user's:
  // that value stays while it is still there.
  const auto unreadable = defaultsForUnreadable_.find(SettingsKeyPath(app, section) + L"\\" + name);
  if (unreadable != defaultsForUnreadable_.end()) {
    const bool keep = unreadable->second == text && StillUnreadable(hkey.get(), name);
    defaultsForUnreadable_.erase(unreadable);
    if (keep) return;
  }
  const std::wstring data = WidenUtf8(text);
  error = RegSetValueExW(hkey.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  if (error != ERROR_SUCCESS) Fail(StatusFromWin32(error));
}

}  // namespace hushcall::win32
