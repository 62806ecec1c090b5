// Removing Hushcall from the player's own plug-in preferences: what
// winampUninstallPlugin does once the plug-in is stopped. The player then
// deletes gen_hushcall.dll itself.
#pragma once

#include <windows.h>

#include <string>

namespace hushcall::host {

inline constexpr wchar_t kUninstallerName[] = L"Hushcall-uninstall.exe";

// Asks, owned by `parent`, whether the stored settings go too; No unless
// the user says Yes.
bool AskRemoveStoredSettings(HWND parent);
// Every stored setting of Hushcall, all sections.
LSTATUS RemoveStoredSettings();
// This edition's COM registration of Hushcall.Plugin, per user and
// machine-wide; the other edition's stays.
HRESULT RemoveRegistration();

enum class LibraryRemoval {
  kGone,
  kWhenUnloaded,  // still loaded here: marked for the next restart too
  kLeft,          // it can't be deleted (no right to, locked by another)
};
LibraryRemoval RemoveLibrary(const std::wstring& path);

// Runs the uninstaller that setup put into `folder` (with its trailing
// backslash) as the player's removal does, and waits for it while this
// thread's messages keep flowing. It runs as a copy in the temporary
// folder, so that it can delete the original, and elevates itself where
// the install is per machine. Its exit code: 0 when it removed everything
// but gen_hushcall.dll, which it leaves to the player (or, per machine,
// moved aside for deletion at the next Windows start).
DWORD RunInstalledUninstaller(const std::wstring& folder);

// What removal could not delete from the plug-in folder.
struct LeftOver {
  bool hostWrapper = false;
  bool library = false;
  bool uninstaller = false;
  bool any() const { return hostWrapper || library || uninstaller; }
};
// The one box that says what is left in `folder` and how to remove it:
// by setup's uninstaller when it put the files there, else by hand.
void ReportLeftOver(HWND parent, const std::wstring& folder, const LeftOver& left, bool installed);

}  // namespace hushcall::host
