// Removing Hushcall from the player's own plug-in preferences: what
// winampUninstallPlugin does once the plug-in is stopped. The player then
// deletes gen_hushcall.dll itself.
#pragma once

#include <windows.h>

#include <string>

namespace hushcall::host {

// Asks, owned by `parent`, whether the stored settings go too; No unless
// the user says Yes.
bool AskRemoveStoredSettings(HWND parent);
// Every stored setting of Hushcall, all sections.
LSTATUS RemoveStoredSettings();
// This edition's COM registration of Hushcall.Plugin, per user and
// machine-wide; the other edition's stays.
HRESULT RemoveRegistration();
// Deletes the library at `path` when no one has it loaded; otherwise marks
// it for deletion at the next restart. True when it is gone now.
bool RemoveLibrary(const std::wstring& path);

}  // namespace hushcall::host
