#include "host/removal.h"

#include "settings/settings.h"
#include "plugin/win32/classes_registry.h"
#include "plugin/win32/registration.h"
#include "plugin/win32/registry_store.h"

namespace hushcall::host {

bool AskRemoveStoredSettings(HWND parent) {
  const int answer = ::MessageBoxW(
      parent,
      L"Hushcall is being removed. Remove its stored settings too?\n\n"
      L"Choose No to keep them for a later install.",
      L"Hushcall", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  return answer == IDYES;
}

LSTATUS RemoveStoredSettings() {
  const std::wstring key = win32::SettingsAppKeyPath(kProductName);
  const LSTATUS error = ::RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
  if (error == ERROR_SUCCESS) return ::RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
  return error;
}

HRESULT RemoveRegistration() { return win32::UnregisterServer(win32::SystemClassesRegistry()); }

bool RemoveLibrary(const std::wstring& path) {
  if (!::GetModuleHandleW(path.c_str()) && ::DeleteFileW(path.c_str())) return true;
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  // Still loaded, or locked by someone else: Windows removes it at restart.
  ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return false;
}

}  // namespace hushcall::host
