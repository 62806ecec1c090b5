#include "plugin/win32/registry_store.h"

#include <windows.h>

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

std::string RegistrySettingsStore::Read(std::string_view app, std::string_view section,
                                        std::string_view key, std::string_view defaultText) {
  unique_hkey hkey;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath(app, section).c_str(), 0, KEY_QUERY_VALUE,
                    hkey.put()) != ERROR_SUCCESS)
    return std::string(defaultText);

  const std::wstring name = WidenUtf8(key);
  DWORD type = 0;
  DWORD bytes = 0;
  if (RegQueryValueExW(hkey.get(), name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return std::string(defaultText);

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
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, hkey.put(), nullptr);
  if (error != ERROR_SUCCESS) Fail(StatusFromWin32(error));

  const std::wstring name = WidenUtf8(key);
  const std::wstring data = WidenUtf8(text);
  error = RegSetValueExW(hkey.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  if (error != ERROR_SUCCESS) Fail(StatusFromWin32(error));
}

}  // namespace hushcall::win32
