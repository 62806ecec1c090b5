#include "host/removal.h"

#include "common/win32/unique.h"
#include "settings/settings.h"
#include "plugin/win32/classes_registry.h"
#include "plugin/win32/registration.h"
#include "plugin/win32/registry_store.h"

namespace hushcall::host {

namespace {

bool FileExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A fresh "<temp>\hcuNNNN.tmp.exe": the uninstaller elevates itself with
// ShellExecuteEx, which runs a program by its extension.
std::wstring TemporaryProgramPath() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH || !::GetTempFileNameW(folder, L"hcu", 0, name)) return {};
  ::DeleteFileW(name);
  return std::wstring(name) + L".exe";
}

// Waits for `process`, dispatching this thread's messages meanwhile; a
// WM_QUIT is put back for the player's own loop and the rest is a plain wait.
DWORD WaitDispatching(HANDLE process) {
  for (;;) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) break;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        ::WaitForSingleObject(process, INFINITE);
        break;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  DWORD code = ERROR_GEN_FAILURE;
  if (!::GetExitCodeProcess(process, &code)) code = ::GetLastError();
  return code;
}

}  // namespace

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

LibraryRemoval RemoveLibrary(const std::wstring& path) {
  const bool loaded = ::GetModuleHandleW(path.c_str()) != nullptr;
  // A delete can succeed and still leave the file (pending while another
  // handle is open, or refused only when the last handle closes), so only
  // its absence counts.
  if (!loaded) ::DeleteFileW(path.c_str());
  if (!FileExists(path)) return LibraryRemoval::kGone;
  if (!loaded) return LibraryRemoval::kLeft;
  // Retried once the player has unloaded it; Windows' restart as a fallback.
  ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return LibraryRemoval::kWhenUnloaded;
}

DWORD RunInstalledUninstaller(const std::wstring& folder) {
  const std::wstring copy = TemporaryProgramPath();
  if (copy.empty() || !::CopyFileW((folder + kUninstallerName).c_str(), copy.c_str(), FALSE))
    return ::GetLastError() ? ::GetLastError() : ERROR_GEN_FAILURE;
  // NSIS: /S silent, the settings left to us (the user answered already);
  // _?= (last, no quotes, no trailing backslash) runs it in place for that
  // folder instead of starting yet another copy that we could not wait for.
  std::wstring commandLine = L"\"" + copy + L"\" /S /FROMPLAYER _?=" + folder.substr(0, folder.size() - 1);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  DWORD code = ERROR_GEN_FAILURE;
  if (::CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
    win32::unique_handle thread(process.hThread);
    win32::unique_handle running(process.hProcess);
    code = WaitDispatching(running.get());
  } else {
    code = ::GetLastError();
  }
  ::DeleteFileW(copy.c_str());
  return code;
}

void ReportLeftOver(HWND parent, const std::wstring& folder, const LeftOver& left, bool installed) {
  std::wstring text = L"Hushcall could not be removed completely. Still in " + folder + L":\n";
  if (left.hostWrapper) text += L"\n    gen_hushcall.dll";
  if (left.library) text += L"\n    Hushcall.dll";
  if (left.uninstaller) text += L"\n    " + std::wstring(kUninstallerName);
  text += installed ? L"\n\nRemove \"Hushcall\" in Add or remove programs (its entry stays until the files are "
                      L"gone), or run Hushcall-uninstall.exe in that folder; give it an administrator's "
                      L"consent if Windows asks."
                    : L"\n\nClose the player and delete these files, as an administrator if the folder needs one.";
  ::MessageBoxW(parent, text.c_str(), L"Hushcall", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace hushcall::host
